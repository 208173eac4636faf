#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "reader/TCodec.h"
#include "tests/BuiltPrograms.h"
#include "tests/TestSupport.h"
#include "tests/TudaChild.h"

// --follow of the reading commands, on a file the test writes while the command reads it: the
// same output as the finished file gives, a file read again when it shrinks or is replaced,
// and the ways the following ends.

namespace {

constexpr size_t kBlockBytes = 32768;
// Longer than any pause a loaded machine puts between two of the test's appends.
constexpr const char* kIdle = "2";

class FollowTest : public testing::Test {
 protected:
  std::string Generate(const std::string& name, const std::string& events, const std::string& seed)
  {
    const std::string path = folder.Path(name);
    EXPECT_EQ(Child({"gen", path, "--events", events, "--seed", seed}).Wait(), 0);
    return path;
  }

  // Standard output of `tuda ARGS` run to its end on a finished file.
  std::string Output(const std::vector<std::string>& args)
  {
    const std::string out = folder.Path("finished.out");
    EXPECT_EQ(Child(args, out).Wait(), 0);
    return ReadFile(out);
  }

  // `args` with the file `path` and --follow --idle, for which the test writes the file.
  static std::vector<std::string> Following(std::vector<std::string> args, const std::string& path)
  {
    args.insert(args.begin() + 1, path);
    args.insert(args.end(), {"--follow", "--idle", kIdle});
    return args;
  }

  ScratchFolder folder;
};

// Written in pieces, half blocks included, the file gives what the finished file gives.
TEST_F(FollowTest, AFileWrittenInPiecesGivesTheFinishedFilesOutput)
{
  const std::string whole = ReadFile(Generate("whole.dat", "3000", "5"));
  const std::vector<std::vector<std::string>> commands = {
      {"events"}, {"export", "--out", "-"}, {"stat", "--json"}};
  for (const std::vector<std::string>& command : commands) {
    if (!Built(command[0])) continue;
    const std::string path = folder.Path("run.dat");
    std::filesystem::remove(path);
    Append(path, whole.substr(0, kBlockBytes + kBlockBytes / 2));
    const std::string out = folder.Path("followed.out");
    Child child(Following(command, path), out);
    for (size_t at = kBlockBytes + kBlockBytes / 2; at < whole.size(); at += 20000) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      Append(path, whole.substr(at, 20000));
    }
    EXPECT_EQ(child.Wait(), 0) << command[0] << ": " << child.Err();
    std::vector<std::string> finished = command;
    finished.insert(finished.begin() + 1, path);
    std::string expected = Output(finished);
    std::string got = ReadFile(out);
    if (command[0] == "stat") {
      // The timings differ from run to run.
      got = got.substr(0, got.find("\"seconds\""));
      expected = expected.substr(0, expected.find("\"seconds\""));
    }
    EXPECT_EQ(got, expected) << command[0];
  }
}

TEST_F(FollowTest, AShrunkOrReplacedFileIsReadAgainAsANewRun)
{
  const std::string first = Generate("first.dat", "3000", "1");
  const std::string second = Generate("second.dat", "2000", "2");
  const std::string path = folder.Path("run.dat");
  // The reader's lines name the file: the finished runs are read at the followed name.
  const auto atPath = [&](const std::string& run) {
    std::filesystem::copy_file(run, path, std::filesystem::copy_options::overwrite_existing);
    return Output({"events", path});
  };
  const std::string firstOutput = atPath(first);
  const std::string expected = firstOutput + atPath(second);
  const std::vector<std::pair<std::string, std::function<void()>>> cases = {
      // The size is the one seen when the follower looked, while the file was written again.
      {" shrank to ",
       [&] {
         std::filesystem::resize_file(path, 0);
         Append(path, ReadFile(second));
       }},
      {" was replaced; ",
       [&] {
         std::filesystem::copy_file(second, folder.Path("next.dat"));
         std::filesystem::rename(folder.Path("next.dat"), path);
       }}};
  for (const auto& [line, change] : cases) {
    std::filesystem::copy_file(first, path, std::filesystem::copy_options::overwrite_existing);
    const std::string out = folder.Path("followed.out");
    Child child({"events", path, "--follow", "--idle", "2"}, out);
    EXPECT_TRUE(WaitFor([&] { return ReadFile(out).size() >= firstOutput.size(); }));
    change();
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(ReadFile(out), expected) << line;
    EXPECT_NE(child.Err().find("tuda events: " + path + line), std::string::npos) << child.Err();
    EXPECT_NE(child.Err().find("; reading it from its start as a new run, the "), std::string::npos) << child.Err();
  }
}

TEST_F(FollowTest, CtrlCEndsTheWaitWithTheAccount)
{
  const std::string path = Generate("run.dat", "1000", "1");
  Append(path, std::string(100, '\0'));
  Child child({"stat", path, "--follow"}, folder.Path("stat.out"));
  // Ctrl-C once the program has read the whole blocks and waits for more.
  const long long wholeBlocks = std::filesystem::file_size(path) / kBlockBytes * kBlockBytes;
  EXPECT_TRUE(WaitFor([&] { return child.FileOffset(path) == wholeBlocks; }));
  EXPECT_EQ(child.Interrupt(), 130);
  EXPECT_NE(child.Err().find("tuda stat: interrupted\n"), std::string::npos) << child.Err();
  // While the file may still grow, the 100 bytes are no trailing piece.
  const std::string out = ReadFile(folder.Path("stat.out"));
  EXPECT_NE(out.find("trailing pieces 0\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("Trailing piece "), std::string::npos) << out;
}

TEST_F(FollowTest, ACompressedFileIsAUsageError)
{
  if (*CompiledCodecs() == '\0') GTEST_SKIP() << "built without compressed files";
  const std::string path = Generate("run.dat.gz", "100", "1");
  for (const std::string command : {"events", "stat", "export"}) {
    if (!Built(command)) continue;
    std::vector<std::string> args{command, path, "--follow"};
    if (command == "export") args.insert(args.end(), {"--out", folder.Path("e.csv")});
    Child child(args, folder.Path("out"));
    EXPECT_EQ(child.Wait(), 2) << command;
    EXPECT_NE(child.Err().find("tuda " + command + ": " + path + " is gzip-compressed; --follow reads plain data files only\n"),
              std::string::npos)
        << child.Err();
    EXPECT_FALSE(std::filesystem::exists(folder.Path("e.csv")));
  }
}

}  // namespace
