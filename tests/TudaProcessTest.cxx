#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/TudaChild.h"
#include "tests/WrittenRun.h"

// The built program TUDA_PROGRAM_PATH as a child process: failed writes, closed pipes, Ctrl-C
// and the progress line, which only a real process with real descriptors shows.

namespace {

constexpr const char* kClearLine = "\r\033[K";

class TudaProcessTest : public testing::Test {
 protected:
  // Starts `tuda args` with its standard output and error on the given descriptors.
  static pid_t Start(const std::vector<std::string>& args, int out, int err)
  {
    const pid_t child = fork();
    if (child != 0) return child;
    // As from an interactive shell, even when this test runs as a background job.
    signal(SIGINT, SIG_DFL);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    ExecTuda(args);
  }

  // Writes `block` into the pipe `fifo` that `child` reads, then sends Ctrl-C while the child
  // waits for the next block.
  static void InterruptAfter(pid_t child, const std::string& fifo, const std::string& block)
  {
    const int writer = open(fifo.c_str(), O_WRONLY);
    ASSERT_EQ(write(writer, block.data(), block.size()), static_cast<ssize_t>(block.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(child, SIGINT);
    // The read of the next block waits for data or the end of the pipe.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    close(writer);
  }

  static int Wait(pid_t child)
  {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
  }

  // Runs `tuda args` to its end with standard output on `out`; what it wrote on standard error
  // goes to `err`. Returns the wait status.
  static int RunWithOutput(const std::vector<std::string>& args, int out, std::string& err)
  {
    int errPipe[2];
    EXPECT_EQ(pipe(errPipe), 0);
    const pid_t child = Start(args, out, errPipe[1]);
    close(errPipe[1]);
    err = ReadAll(errPipe[0]);
    close(errPipe[0]);
    return Wait(child);
  }

  // Runs `tuda args` with standard error on a pseudo-terminal, and standard output on the same
  // terminal or on /dev/null. Returns what the terminal showed.
  static std::string RunOnTerminal(const std::vector<std::string>& args, bool outputOnTerminal)
  {
    int master = -1;
    int slave = -1;
    EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const int null = open("/dev/null", O_WRONLY);
    const pid_t child = Start(args, outputOnTerminal ? slave : null, slave);
    close(slave);
    close(null);
    const std::string shown = ReadAll(master);  // ends with EIO once the child is gone
    close(master);
    EXPECT_EQ(Wait(child), 0);
    return shown;
  }

  static int ExitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status); }

  // A pseudo-terminal that passes bytes as they are (no \r added): its slave end in `slave`,
  // its master end returned.
  static int OpenRawTerminal(int& slave)
  {
    termios raw {};
    cfmakeraw(&raw);
    int master = -1;
    EXPECT_EQ(openpty(&master, &slave, nullptr, &raw, nullptr), 0);
    return master;
  }

  // Reads `descriptor` into `text` until `until` appears, it ends or patience runs out.
  static bool ReadUntil(int descriptor, std::string& text, const std::string& until)
  {
    const Clock::time_point end = Clock::now() + kPatience;
    while (text.find(until) == std::string::npos && Clock::now() < end) {
      pollfd look{descriptor, POLLIN, 0};
      if (poll(&look, 1, 20) <= 0) continue;
      char chunk[4096];
      const ssize_t got = read(descriptor, chunk, sizeof chunk);
      if (got <= 0) break;
      text.append(chunk, static_cast<size_t>(got));
    }
    return text.find(until) != std::string::npos;
  }

  // Makes a data file of `blocks` blocks with the program itself.
  std::string Generate(const std::string& name, const std::string& blocks)
  {
    const std::string path = folder.Path(name);
    std::string err;
    EXPECT_EQ(ExitStatus(RunWithOutput({"gen", path, "--blocks", blocks}, STDOUT_FILENO, err)), 0) << err;
    return path;
  }

  ScratchFolder folder;
};

// ---- Output failures ---------------------------------------------------------------------------

TEST_F(TudaProcessTest, FullDeviceEndsEveryCommandWithOneLine)
{
  const std::string path = Generate("run.dat", "2");
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  const std::vector<std::vector<std::string>> cases = {
      {"events", path}, {"stat", path},   {"dump", path},     {"info", path},
      {"help", "gen"},  {"gen", "-"},     {"run", "--file", path}};
  for (const auto& args : cases) {
    std::string err;
    EXPECT_EQ(ExitStatus(RunWithOutput(args, full, err)), 1) << args[0];
    EXPECT_EQ(err, "tuda " + args[0] + ": cannot write standard output: No space left on device\n");
  }
  std::string err;
  EXPECT_EQ(ExitStatus(RunWithOutput({"--help"}, full, err)), 1);
  EXPECT_EQ(err, "tuda: cannot write standard output: No space left on device\n");
  close(full);
}

TEST_F(TudaProcessTest, GenOntoAFullDeviceGivesTheReason)
{
  std::string err;
  EXPECT_EQ(ExitStatus(RunWithOutput({"gen", "/dev/full"}, STDOUT_FILENO, err)), 1);
  EXPECT_EQ(err, "tuda gen: cannot write /dev/full: No space left on device\n");
}

// As other tools end: by the signal, quietly, even when the caller ignored it.
TEST_F(TudaProcessTest, ClosedPipeEndsQuietly)
{
  const std::string path = Generate("run.dat", "20");
  int outPipe[2];
  ASSERT_EQ(pipe(outPipe), 0);
  close(outPipe[0]);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous {};
  sigaction(SIGPIPE, &ignore, &previous);
  std::string err;
  const int status = RunWithOutput({"events", path}, outPipe[1], err);
  sigaction(SIGPIPE, &previous, nullptr);
  close(outPipe[1]);
  EXPECT_EQ(ExitStatus(status), -SIGPIPE);
  EXPECT_EQ(err, "");
}

// ---- Standard output in blocks ----------------------------------------------------------------

// A seqpacket socket keeps each write() one message: counting messages counts writes.
TEST_F(TudaProcessTest, OutputThatIsNoTerminalIsWrittenInBlocks)
{
  const std::string path = Generate("run.dat", "4");
  const std::string expected = folder.Path("events.txt");
  const int file = open(expected.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string err;
  ASSERT_EQ(ExitStatus(RunWithOutput({"events", path}, file, err)), 0) << err;
  close(file);
  int sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sockets), 0);
  const pid_t child = Start({"events", path}, sockets[1], STDERR_FILENO);
  close(sockets[1]);
  std::string out;
  size_t writes = 0;
  std::vector<char> message(1 << 20);
  ssize_t got = 0;
  while ((got = recv(sockets[0], message.data(), message.size(), 0)) > 0) {
    out.append(message.data(), static_cast<size_t>(got));
    ++writes;
  }
  close(sockets[0]);
  EXPECT_EQ(ExitStatus(Wait(child)), 0);
  EXPECT_EQ(out, ReadFile(expected));
  const size_t lines = static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
  EXPECT_GT(lines, 10000u);
  EXPECT_LE(writes, out.size() / 65536 + 1) << lines << " lines";
}

// Standard error comes after everything standard output was given before it: one file gets
// what a terminal shows, where every line is written as it comes.
TEST_F(TudaProcessTest, BothStreamsIntoOneFileKeepTheirOrder)
{
  std::vector<WriterEvent> events;
  for (uint16_t n = 0; n < 3000; ++n) {
    events.push_back({{tokens::Adc(n % 64, n), tokens::Tdc(n % 32, n)}});
    if (n % 7 == 0) events.back().tokens.push_back(tokens::Group(1, 0, {n}));
  }
  const std::string mixed = folder.Path("mixed.dat");
  WriteRun(mixed, events, false);
  const std::string refused = folder.Path("refused.dat");
  Append(refused, std::string(TEGBlockSize, 'x'));
  const std::vector<std::string> args{"events", refused, mixed};

  const std::string both = folder.Path("both.txt");
  const int file = open(both.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  EXPECT_EQ(ExitStatus(Wait(Start(args, file, file))), 1);
  close(file);
  int slave = -1;
  const int master = OpenRawTerminal(slave);
  const pid_t child = Start(args, slave, slave);
  close(slave);
  const std::string shown = ReadAll(master);
  close(master);
  EXPECT_EQ(ExitStatus(Wait(child)), 1);

  const std::string written = ReadFile(both);
  EXPECT_EQ(written, shown);
  EXPECT_EQ(written.find("tuda events: " + refused + " does not start with a data block"), 0u) << written.substr(0, 200);
  EXPECT_NE(written.find("tdc:    channel=19 value=2995\nFormatData: ERROR - group data is unused at TUDA\n"),
            std::string::npos);
  EXPECT_EQ(written.substr(written.rfind('\n', written.size() - 2) + 1, 13), "tuda events: ");
}

// As `| head -1`: the reader goes away after the first line.
TEST_F(TudaProcessTest, ReaderThatLeavesAfterTheFirstLineEndsTheProgram)
{
  const std::string path = Generate("run.dat", "20");
  // Not inherited: the child must not hold the read end open itself.
  int outPipe[2];
  ASSERT_EQ(pipe2(outPipe, O_CLOEXEC), 0);
  int errPipe[2];
  ASSERT_EQ(pipe2(errPipe, O_CLOEXEC), 0);
  const pid_t child = Start({"events", path}, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);
  std::string out;
  EXPECT_TRUE(ReadUntil(outPipe[0], out, "\n"));
  close(outPipe[0]);
  EXPECT_EQ(ReadAll(errPipe[0]), "");
  close(errPipe[0]);
  EXPECT_EQ(ExitStatus(Wait(child)), -SIGPIPE);
  EXPECT_EQ(out.substr(0, out.find('\n') + 1), "OpenDataFile: Opened data file " + path + "\n");
}

// On a terminal every line is written as it comes: the lines of the first block show while the
// pipe's writer still holds back the second.
TEST_F(TudaProcessTest, OutputOnATerminalIsWrittenLineByLine)
{
  const std::string firstBlock = ReadFile(Generate("run.dat", "1"));
  const std::string fifo = folder.Path("run.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int slave = -1;
  const int master = OpenRawTerminal(slave);
  const pid_t child = Start({"events", fifo}, slave, slave);
  close(slave);
  const int writer = open(fifo.c_str(), O_WRONLY);
  ASSERT_EQ(write(writer, firstBlock.data(), firstBlock.size()), static_cast<ssize_t>(firstBlock.size()));
  std::string shown;
  EXPECT_TRUE(ReadUntil(master, shown, "TTudaEvent:\n"));
  close(writer);
  ReadAll(master);
  close(master);
  EXPECT_EQ(ExitStatus(Wait(child)), 0);
}

// Lines printed before a wait for the file to grow are in the output file during the wait.
TEST_F(TudaProcessTest, FollowingWritesOutBeforeItWaits)
{
  const std::string path = Generate("run.dat", "2");
  const std::string expected = folder.Path("events.txt");
  const int file = open(expected.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string err;
  ASSERT_EQ(ExitStatus(RunWithOutput({"events", path, "--quiet"}, file, err)), 0) << err;
  close(file);
  const std::string followed = folder.Path("followed.txt");
  Child child({"events", "--follow", "--quiet", path}, followed);
  EXPECT_TRUE(WaitFor([&] { return ReadFile(followed) == ReadFile(expected); })) << ReadFile(followed).size();
  EXPECT_EQ(child.Interrupt(), 130);
}

// The node pauses after each event: the event's lines are in the output file during the pause.
TEST_F(TudaProcessTest, PausedRunWritesOutEachEvent)
{
  const std::string path = Generate("run.dat", "1");
  const std::string listed = folder.Path("listed.txt");
  Child child({"run", "--file", path, "--interval", "60"}, listed);
  EXPECT_TRUE(WaitFor([&] { return ReadFile(listed).find("src running: 0, 60\nADCChannel:\t") != std::string::npos; }))
      << ReadFile(listed);
  EXPECT_EQ(child.Interrupt(), 130);
}

// ---- Interrupts --------------------------------------------------------------------------------

// The reader waits on a pipe inside its loop; Ctrl-C ends it after the block in hand, with what a
// normal end writes.
TEST_F(TudaProcessTest, InterruptEndsAsInterrupted)
{
  std::ifstream file(Generate("run.dat", "1"), std::ios::binary);
  const std::string firstBlock(std::istreambuf_iterator<char>(file), {});
  const std::string fifo = folder.Path("run.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string command : {"stat", "events", "info"}) {
    int errPipe[2];
    ASSERT_EQ(pipe(errPipe), 0);
    const int null = open("/dev/null", O_WRONLY);
    const pid_t child = Start({command, fifo}, null, errPipe[1]);
    close(errPipe[1]);
    close(null);
    InterruptAfter(child, fifo, firstBlock);
    const std::string err = ReadAll(errPipe[0]);
    close(errPipe[0]);
    EXPECT_EQ(ExitStatus(Wait(child)), 130) << command;
    EXPECT_EQ(err, "tuda " + command + ": interrupted\n");
  }
}

// The reader meets the end of its data when Ctrl-C cancels the wait, not the end of the file.
TEST_F(TudaProcessTest, InterruptedStatDoesNotCallTheFileReadToItsEnd)
{
  std::ifstream file(Generate("run.dat", "1"), std::ios::binary);
  const std::string firstBlock(std::istreambuf_iterator<char>(file), {});
  const std::string fifo = folder.Path("run.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int outPipe[2];
  int errPipe[2];
  ASSERT_EQ(pipe(outPipe), 0);
  ASSERT_EQ(pipe(errPipe), 0);
  const pid_t child = Start({"stat", "--json", fifo}, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);
  InterruptAfter(child, fifo, firstBlock);
  const std::string out = ReadAll(outPipe[0]);
  const std::string err = ReadAll(errPipe[0]);
  close(outPipe[0]);
  close(errPipe[0]);
  EXPECT_EQ(ExitStatus(Wait(child)), 130);
  EXPECT_EQ(err, "OpenDataFile: Opened data file " + fifo + "\ntuda stat: interrupted\n");
  EXPECT_NE(out.find("\"read_to_end\":false,\"blocks\":1,"), std::string::npos) << out;
}

TEST_F(TudaProcessTest, InterruptedGenLeavesNothingBehind)
{
  const std::string target = folder.Path("run.dat");
  int errPipe[2];
  ASSERT_EQ(pipe(errPipe), 0);
  const pid_t child = Start({"gen", target, "--blocks", "100000000"}, STDOUT_FILENO, errPipe[1]);
  close(errPipe[1]);
  WaitFor([&] { return !std::filesystem::is_empty(folder.Path()); });
  kill(child, SIGINT);
  const std::string err = ReadAll(errPipe[0]);
  close(errPipe[0]);
  EXPECT_EQ(ExitStatus(Wait(child)), 130);
  EXPECT_EQ(err, "tuda gen: interrupted\n");
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

// Output that no one reads holds the first Ctrl-C off; the second ends the program at once.
TEST_F(TudaProcessTest, SecondInterruptEndsAtOnce)
{
  const std::string path = Generate("run.dat", "20");
  int outPipe[2];
  ASSERT_EQ(pipe(outPipe), 0);
  const pid_t child = Start({"events", path}, outPipe[1], STDERR_FILENO);
  close(outPipe[1]);
  // Its first line shows it inside its loop; then the pipe fills.
  char first = 0;
  ASSERT_EQ(read(outPipe[0], &first, 1), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  kill(child, SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, WNOHANG), 0);
  kill(child, SIGINT);
  EXPECT_EQ(ExitStatus(Wait(child)), -SIGINT);
  close(outPipe[0]);
}

// ---- Progress line -----------------------------------------------------------------------------

TEST_F(TudaProcessTest, ProgressOfBytesOnATerminal)
{
  const std::string shown = RunOnTerminal({"gen", folder.Path("run.dat"), "--blocks", "800"}, false);
  EXPECT_NE(shown.find(std::string(kClearLine) + "tuda gen: "), std::string::npos) << shown;
  EXPECT_NE(shown.find("% of 25.0 MB, "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" MB/s, "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" s left"), std::string::npos) << shown;
  // Cleared before the closing line.
  EXPECT_NE(shown.find(std::string(kClearLine) + "tuda gen: " + folder.Path("run.dat") + ": 800 blocks"),
            std::string::npos)
      << shown;
}

// With nothing listed, the node's lines share the terminal: the line clears itself before them.
TEST_F(TudaProcessTest, ProgressOfEventsWhenNothingIsListed)
{
  const std::string path = Generate("run.dat", "2");
  const std::vector<std::string> args{"run", "--file", path, "--steps", "40", "--interval", "0.01"};
  std::vector<std::string> quiet = args;
  quiet.insert(quiet.end(), {"--print", "none"});
  const std::string shown = RunOnTerminal(quiet, true);
  EXPECT_NE(shown.find(std::string(kClearLine) + "tuda run: "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" events/s, "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" s elapsed" + std::string(kClearLine) + "Stop()"), std::string::npos) << shown;
  EXPECT_EQ(RunOnTerminal(args, true).find("tuda run: "), std::string::npos);
}

TEST_F(TudaProcessTest, NoProgressWhenStandardErrorIsNoTerminal)
{
  std::string err;
  const int null = open("/dev/null", O_WRONLY);
  const std::string path = Generate("run.dat", "1");
  EXPECT_EQ(ExitStatus(RunWithOutput({"run", "--file", path, "--steps", "40", "--interval", "0.01", "--print",
                                      "none"},
                                     null, err)),
            0);
  close(null);
  EXPECT_EQ(err, "");
}

}  // namespace
