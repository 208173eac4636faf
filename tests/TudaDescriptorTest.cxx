#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/BuiltPrograms.h"
#include "tests/TestSupport.h"
#include "tests/TudaChild.h"

// The built program TUDA_PROGRAM_PATH as a child process whose standard descriptors are closed,
// sockets or pipes, and that is sent signals while it waits for data that do not come.

namespace {

constexpr int kClosed = -1;
constexpr const char* kDescriptorReason = ": -: Bad file descriptor\n";


class TudaDescriptorTest : public testing::Test {
 protected:
  // A running `tuda args` with its standard error on a pipe.
  struct Child {
    pid_t pid = -1;
    int err = -1;
  };

  // Starts `tuda args` with descriptors 0 and 1 on `in` and `out` (kClosed: closed).
  static Child Start(const std::vector<std::string>& args, int in, int out)
  {
    int errPipe[2];
    EXPECT_EQ(pipe(errPipe), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, SIG_DFL);
      dup2(errPipe[1], STDERR_FILENO);
      Place(in, STDIN_FILENO);
      Place(out, STDOUT_FILENO);
      ExecTuda(args);
    }
    close(errPipe[1]);
    return Child{pid, errPipe[0]};
  }

  static void Place(int descriptor, int standard)
  {
    if (descriptor == kClosed) {
      close(standard);
    } else if (descriptor != standard) {
      dup2(descriptor, standard);
    }
  }

  // Its exit status, or minus the signal that ended it; what it wrote on standard error, read
  // while it runs, goes to `err`. Fails the test and kills it when it does not end promptly.
  static int Finish(Child& child, std::string& err)
  {
    const auto deadline = Clock::now() + kPatience;
    int status = 0;
    err.clear();
    while (waitpid(child.pid, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        ADD_FAILURE() << "the program did not end";
        kill(child.pid, SIGKILL);
        waitpid(child.pid, &status, 0);
        break;
      }
      pollfd ready{child.err, POLLIN, 0};
      char chunk[4096];
      const ssize_t got = poll(&ready, 1, 10) > 0 ? read(child.err, chunk, sizeof chunk) : 0;
      if (got > 0) err.append(chunk, static_cast<size_t>(got));
    }
    err += ReadAll(child.err);
    close(child.err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }

  static int Run(const std::vector<std::string>& args, int in, int out, std::string& err)
  {
    Child child = Start(args, in, out);
    return Finish(child, err);
  }

  // Sends `signalNumber` once the program watches for it and had time to reach its wait or loop.
  static int Signalled(const std::vector<std::string>& args, int signalNumber, std::string& err)
  {
    const int null = open("/dev/null", O_RDWR);
    Child child = Start(args, null, null);
    close(null);
    WaitFor([&] { return HandlesOrEnded(child.pid, signalNumber); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(child.pid, signalNumber);
    return Finish(child, err);
  }

  std::string Generate(const std::string& name, const std::string& blocks)
  {
    const std::string path = folder.Path(name);
    std::string err;
    EXPECT_EQ(Run({"gen", path, "--blocks", blocks}, STDIN_FILENO, STDOUT_FILENO, err), 0) << err;
    return path;
  }

  static bool EndsWith(const std::string& text, const std::string& end)
  {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  }

  ScratchFolder folder;
};

// ---- A full disk -------------------------------------------------------------------------------

TEST_F(TudaDescriptorTest, ExportOntoAFullDiskEndsWithOneLineAndLeavesNothing)
{
  if (!kExportBuilt) GTEST_SKIP() << "built without tuda export";
  const std::string data = Generate("run.dat", "300");
  const std::string disk = folder.Path("disk");
  std::filesystem::create_directory(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=3m") != 0) {
    GTEST_SKIP() << "a 3 MiB tmpfs cannot be mounted here (" << std::strerror(errno) << ")";
  }
  const std::string target = disk + "/e.h5";
  for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--compress"}}) {
    // Nearly full for the smaller compressed file.
    if (!extra.empty()) std::ofstream(disk + "/filler") << std::string(3 * 1024 * 1024 - 64 * 1024, 'x');
    std::vector<std::string> args{"export", data, "--out", target};
    args.insert(args.end(), extra.begin(), extra.end());
    std::string err;
    EXPECT_EQ(Run(args, STDIN_FILENO, STDOUT_FILENO, err), 1) << err;
    EXPECT_TRUE(EndsWith(err, "tuda export: cannot write the HDF5 file " + target + "\n") ||
                err.find("tuda export: cannot write the HDF5 file " + disk + "/.e.h5.tmp") != std::string::npos)
        << err;
    EXPECT_FALSE(std::filesystem::exists(target));
    std::filesystem::remove(disk + "/filler");
    EXPECT_TRUE(std::filesystem::is_empty(disk));
  }
  umount(disk.c_str());
}

// ---- Ctrl-C where no event comes ---------------------------------------------------------------

TEST_F(TudaDescriptorTest, InterruptEndsABlockStreamWithoutEventsPromptly)
{
  const std::string csv = folder.Path("zero.csv");
  const std::vector<std::vector<std::string>> cases = {
      {"stat", "--force", "/dev/zero"},
      {"events", "--force", "/dev/zero"},
      {"info", "--force", "/dev/zero"},
      {"check", "--all", "/dev/zero"},
      {"export", "--force", "/dev/zero", "--out", csv},
      {"run", "--force", "--file", "/dev/zero", "--print", "none", "--stats"}};
  for (const auto& args : cases) {
    if (!Built(args[0])) continue;
    std::string err;
    EXPECT_EQ(Signalled(args, SIGINT, err), 130) << args[0];
    EXPECT_NE(err.find("tuda " + args[0] + ": interrupted\n"), std::string::npos) << args[0] << err.substr(err.size() - std::min<size_t>(err.size(), 300));
  }
  EXPECT_FALSE(std::filesystem::exists(csv));
}

TEST_F(TudaDescriptorTest, InterruptEndsTheWaitForAPipeWriter)
{
  const std::string fifo = folder.Path("ff.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string command : {"stat", "check", "events"}) {
    std::string err;
    EXPECT_EQ(Signalled({command, fifo}, SIGINT, err), 130) << command;
    EXPECT_TRUE(EndsWith(err, "tuda " + command + ": interrupted\n")) << err;
  }
}

// ---- Signals that end a writer -----------------------------------------------------------------

TEST_F(TudaDescriptorTest, TerminationAndHangUpLeaveNoFileBehind)
{
  const std::string fifo = folder.Path("ff.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string out = folder.Path("out");
  std::filesystem::create_directory(out);
  const std::vector<std::vector<std::string>> cases = {
      {"gen", out + "/run.dat", "--blocks", "100000000"}, {"export", fifo, "--out", out + "/e.h5"}};
  for (const int signalNumber : {SIGTERM, SIGHUP}) {
    for (const auto& args : cases) {
      if (!Built(args[0])) continue;
      std::string err;
      EXPECT_EQ(Signalled(args, signalNumber, err), 128 + signalNumber) << args[0];
      EXPECT_TRUE(EndsWith(err, "tuda " + args[0] + ": interrupted\n")) << err;
      EXPECT_TRUE(std::filesystem::is_empty(out)) << args[0];
    }
  }
}

// ---- Programs beside tuda ----------------------------------------------------------------------

// `tuda export` is tuda-export run in tuda's place: its lines and exit status are the program's.
TEST_F(TudaDescriptorTest, ProgramBesideTudaGivesItsOwnLinesAndExitStatus)
{
  if (!kExportBuilt) GTEST_SKIP() << "built without tuda export";
  const std::string data = Generate("run.dat", "1");
  std::string err;
  EXPECT_EQ(Run({"export", data}, STDIN_FILENO, STDOUT_FILENO, err), 2);
  EXPECT_EQ(err, "tuda export: --out is required (see tuda help export)\n");
  EXPECT_EQ(Run({"export", data, "--out", data}, STDIN_FILENO, STDOUT_FILENO, err), 1);
  EXPECT_EQ(err, "tuda export: " + data + " exists; give --overwrite to replace it\n");
}

// ---- Closed standard descriptors ---------------------------------------------------------------

TEST_F(TudaDescriptorTest, OutputFileNeverTakesAClosedStandardOutput)
{
  const std::string data = Generate("run.dat", "1");
  const std::string csv = folder.Path("ex.csv");
  const std::string lost = ": cannot write standard output: Bad file descriptor\n";
  std::string err;
  if (kExportBuilt) {
    EXPECT_EQ(Run({"export", data, "--out", csv}, STDIN_FILENO, kClosed, err), 1);
    EXPECT_TRUE(EndsWith(err, "tuda export" + lost)) << err;
    EXPECT_EQ(ReadFile(csv).substr(0, ReadFile(csv).find('\n')), "event,kind,channel,value");
  }
  EXPECT_EQ(Run({"events", data}, STDIN_FILENO, kClosed, err), 1);
  EXPECT_EQ(err, "tuda events" + lost);
}

TEST_F(TudaDescriptorTest, ClosedStandardInputIsAnErrorInEveryCommand)
{
  const std::string csv = folder.Path("ex.csv");
  const std::vector<std::vector<std::string>> cases = {
      {"events", "-"}, {"stat", "-"},   {"info", "-"}, {"dump", "-"},
      {"check", "-"},  {"export", "-", "--out", csv}, {"run", "--file", "-", "--print", "none"}};
  for (const auto& args : cases) {
    if (!Built(args[0])) continue;
    std::string err;
    EXPECT_EQ(Run(args, kClosed, STDOUT_FILENO, err), 1) << args[0];
    EXPECT_NE(err.find("tuda " + args[0] + kDescriptorReason), std::string::npos) << err;
  }
}

TEST_F(TudaDescriptorTest, StandardInputIsReadFromASocket)
{
  const std::string block = ReadFile(Generate("run.dat", "1"));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"stat", "-"}, {"run", "--file", "-", "--print", "none", "--stats"}}) {
    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    ASSERT_EQ(write(sockets[1], block.data(), block.size()), static_cast<ssize_t>(block.size()));
    close(sockets[1]);
    const int null = open("/dev/null", O_WRONLY);
    std::string err;
    EXPECT_EQ(Run(args, sockets[0], null, err), 0) << err;
    close(null);
    close(sockets[0]);
    EXPECT_EQ(err.find("Could not find file"), std::string::npos) << err;
  }
}

// ---- Why a file did not open -------------------------------------------------------------------

TEST_F(TudaDescriptorTest, AFileThatDoesNotOpenIsGivenTheSystemsReason)
{
  const std::string missing = folder.Path("missing.dat");
  const std::string csv = folder.Path("ex.csv");
  for (const std::string& file : {folder.Path(), missing}) {
    const std::string reason = file == missing ? "No such file or directory" : "Is a directory";
    const std::vector<std::vector<std::string>> cases = {
        {"events", file}, {"stat", file}, {"info", file}, {"dump", file},
        {"check", file},  {"export", file, "--out", csv, "--overwrite"}, {"run", "--file", file, "--print", "none"}};
    for (const auto& args : cases) {
      if (!Built(args[0])) continue;
      std::string err;
      EXPECT_EQ(Run(args, STDIN_FILENO, STDOUT_FILENO, err), 1) << args[0];
      EXPECT_NE(err.find("Could not find file " + file + "\n"), std::string::npos) << err;
      EXPECT_NE(err.find("tuda " + args[0] + ": " + file + ": " + reason + "\n"), std::string::npos) << err;
    }
  }
}

}  // namespace
