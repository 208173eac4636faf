// What `tuda` takes as input: `check` verdicts and exit statuses, standard input through a pipe,
// the refusal of a file that does not start with a data block (and --force), compressed output
// of `gen`.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "reader/TCodec.h"
#include "tests/InProcessPrograms.h"
#include "tests/TestSupport.h"
#include "tools/Tuda.h"
#include "tools/console/ExitStatus.h"
#include "writer/CompressedOutput.h"
#include "writer/MidasFileWriter.h"

namespace {

constexpr const char* kLooksRight = "looks like a data file this reader decodes as written";
// The start of a tar archive: "ustar".
const std::string kNoData = "ustar" + std::string(TEGBlockSize, 'x');

class TudaInputTest : public testing::Test {
 protected:
  // Runs `tuda` with its console captured and, when `input` is given, standard input reading
  // it through a pipe.
  int Run(const std::vector<std::string>& args, const std::string* input = nullptr)
  {
    out.str("");
    err.str("");
    const int savedInput = dup(STDIN_FILENO);
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    dup2(ends[0], STDIN_FILENO);
    close(ends[0]);
    std::thread feeder([&] {
      if (input) {
        EXPECT_EQ(write(ends[1], input->data(), input->size()), static_cast<ssize_t>(input->size()));
      }
      close(ends[1]);
    });
    int status = 0;
    {
      const ConsoleRedirect redirect(out.rdbuf(), err.rdbuf());
      status = RunTudaHere(args);
    }
    // A command that stopped early leaves the pipe full: drain it so that the feeder ends.
    fcntl(STDIN_FILENO, F_SETFL, O_NONBLOCK);
    char sink[4096];
    while (feeder.joinable() && read(STDIN_FILENO, sink, sizeof sink) != 0) {
      if (errno == EAGAIN) std::this_thread::yield();
    }
    feeder.join();
    dup2(savedInput, STDIN_FILENO);
    close(savedInput);
    return status;
  }

  std::string Write(const std::string& name, const std::string& bytes)
  {
    std::ofstream(folder.Path(name), std::ios::binary) << bytes;
    return folder.Path(name);
  }

  std::string Bytes(const std::string& path)
  {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  // A good file of three blocks, through `gen`.
  std::string Generated(const std::string& name)
  {
    EXPECT_EQ(Run({"gen", folder.Path(name), "--blocks", "3"}), kExitOk) << err.str();
    return folder.Path(name);
  }

  static std::string Layout(const BlockLayout& layout)
  {
    std::ostringstream bytes;
    MidasFileWriter writer(bytes, layout);
    for (unsigned i = 0; i < 3000; ++i) writer.AddEvent({{tokens::Adc(i % 32, 7), tokens::Tdc(i % 64, 9)}});
    writer.EndBlock();
    return bytes.str();
  }

  static bool Compressed() { return *CompiledCodecs() != '\0'; }

  ScratchFolder folder;
  std::ostringstream out;
  std::ostringstream err;
};

// ---- check --------------------------------------------------------------------------------------

TEST_F(TudaInputTest, CheckTellsGoodFilesFromBadOnes)
{
  BlockLayout dataOnly;
  dataOnly.length = DataLength::kDataOnly;
  std::string halves;
  const std::string good = Layout(BlockLayout());
  for (size_t at = 0; at < good.size(); at += TEGBlockSize) halves += good.substr(at, TEGBlockSize / 2);
  struct Case {
    std::string path;
    int status;
    std::string verdict;
  };
  const std::vector<Case> cases{
      {Generated("good.dat"), kExitOk, kLooksRight},
      {Write("half.dat", halves), kExitDataError,
       "looks wrong: its blocks are 16384 bytes long, where this reader reads 32768-byte blocks, so it would "
       "misframe them"},
      {Write("data-only.dat", Layout(dataOnly)), kExitDataError,
       "looks wrong: its data lengths leave out the 32-byte header, so this reader loses the last 16 words of "
       "every block"},
      {Write("run.tar", kNoData), kExitDataError,
       "looks wrong: it does not start with the data block identifier EBYEDATA"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run({"check", c.path}), c.status) << c.path;
    EXPECT_EQ(out.str().substr(0, out.str().find('\n')), c.path + ": " + c.verdict);
    EXPECT_EQ(err.str(), "");
  }
}

TEST_F(TudaInputTest, CheckReadsACompressedFileAsItsData)
{
  if (!Compressed()) GTEST_SKIP() << "built without compressed files";
  const std::string path = Generated("good.dat.xz");
  EXPECT_EQ(Run({"check", path, "--all"}), kExitOk);
  EXPECT_EQ(out.str(), path + ": " + kLooksRight +
                           "\n"
                           "  codec: xz\n"
                           "  identifier: \"EBYEDATA\" starts 3 of 3 blocks; it repeats every 32768 bytes, as "
                           "this reader expects\n"
                           "  byte-order words: 0x0001 (this machine's order) in 3 blocks\n"
                           "  data lengths: counting the 32-byte header in 3 blocks, not counting it in 0, "
                           "neither in 0; no end-of-block marker in 0; 0 blocks end before their last token\n"
                           "  tokens: 2 events run across blocks, 0 group items, 0 extended group items, 0 items "
                           "of unknown groups\n"
                           "  read: all 3 blocks; trailing piece of 0 bytes\n");
}

TEST_F(TudaInputTest, CheckFailsWhenAnyFileIsWrongOrMissing)
{
  const std::string good = Generated("good.dat");
  const std::string missing = folder.Path("missing.dat");
  EXPECT_EQ(Run({"check", good, missing}), kExitDataError);
  EXPECT_EQ(err.str(), "tuda check: Could not find file " + missing + "\ntuda check: " + missing + ": No such file or directory\n");
  EXPECT_EQ(out.str().rfind(good + ": " + kLooksRight + "\n", 0), 0u);
}

// ---- Standard input -----------------------------------------------------------------------------

TEST_F(TudaInputTest, EventsFromAPipeMatchTheFile)
{
  const std::string path = Generated("run.dat");
  ASSERT_EQ(Run({"events", path}), kExitOk);
  const std::string fromFile = out.str();
  const std::string bytes = Bytes(path);
  ASSERT_EQ(Run({"events", "-"}, &bytes), kExitOk);
  EXPECT_EQ(out.str(), "OpenDataFile: Opened data file -" + fromFile.substr(fromFile.find('\n')));
  EXPECT_EQ(err.str(), "");
}

TEST_F(TudaInputTest, RunReadsAPipe)
{
  const std::string bytes = Bytes(Generated("run.dat"));
  EXPECT_EQ(Run({"run", "--file", "-", "--plugin", UKMIDAS_PLUGIN_PATH, "--print", "none"}, &bytes), kExitOk)
      << err.str();
  EXPECT_NE(out.str().find("OpenDataFile: Opened data file -\n"), std::string::npos) << out.str();
}

TEST_F(TudaInputTest, CheckReadsAPipe)
{
  const std::string bytes = kNoData;
  EXPECT_EQ(Run({"check", "-"}, &bytes), kExitDataError);
  EXPECT_EQ(out.str().substr(0, out.str().find('\n')),
            "-: looks wrong: it does not start with the data block identifier EBYEDATA");
}

// ---- A file that does not start with a data block ----------------------------------------------

TEST_F(TudaInputTest, EveryReadingCommandRefusesItUnlessForced)
{
  const std::string path = Write("run.tar", kNoData);
  const std::string refusal = " does not start with a data block (identifier 75 73 74 61 72 ...); use --force to "
                              "decode it anyway\n";
  for (const std::string command : {"events", "stat", "dump", "info"}) {
    EXPECT_EQ(Run({command, path}), kExitDataError) << command;
    EXPECT_EQ(err.str(), "tuda " + command + ": " + path + refusal);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(Run({command, path, "--force"}), kExitOk) << command << err.str();
  }
  const std::vector<std::vector<std::string>> nodeCommands{
      {"run", "--file", path, "--plugin", UKMIDAS_PLUGIN_PATH},
      {"spectra", path, "--out", folder.Path("spectra"), "--plugin", UKMIDAS_PLUGIN_PATH},
      {"export", path, "--out", folder.Path("run.csv")}};
  for (const std::vector<std::string>& args : nodeCommands) {
    if (!Built(args[0])) continue;
    EXPECT_EQ(Run(args), kExitDataError) << args[0];
    EXPECT_EQ(err.str(), "tuda " + args[0] + ": " + path + refusal);
    EXPECT_EQ(out.str(), "");
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Path("spectra")));
  EXPECT_FALSE(std::filesystem::exists(folder.Path("run.csv")));
}

// The refused file is stepped over, the next one read, and the command still fails.
TEST_F(TudaInputTest, ARefusedFileDoesNotStopTheNext)
{
  const std::string refused = Write("run.tar", kNoData);
  const std::string good = Generated("run.dat");
  const std::string opened = "OpenDataFile: Opened data file " + good + "\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"events"}, opened},
      {{"stat"}, opened},
      {{"stat", "--json"}, opened},
      {{"stat", "--jobs", "2"}, opened},
      {{"stat", "--json", "--jobs", "2"}, opened},
      {{"export", "--out", folder.Path("run.csv")}, opened},
      {{"check", "--jobs", "2"}, good + ": " + kLooksRight + "\n"},
  };
  for (const auto& [command, read] : cases) {
    if (!Built(command[0])) continue;
    std::vector<std::string> args = command;
    args.insert(args.end(), {refused, good});
    EXPECT_EQ(Run(args), kExitDataError) << args[0];
    EXPECT_NE((out.str() + err.str()).find(read), std::string::npos) << args[0] << ": " << out.str() << err.str();
    if (args[0] == "check") continue;
    EXPECT_EQ(err.str().rfind("tuda " + args[0] + ": " + refused + " does not start with a data block", 0), 0u)
        << err.str();
  }
  if (kExportBuilt) {
    EXPECT_GT(Bytes(folder.Path("run.csv")).size(), std::string("event,kind,channel,value\n").size());
  }
}

// One object for every file named, whether it was read to its end or not.
TEST_F(TudaInputTest, StatJsonTellsWhichFilesWereReadToTheirEnd)
{
  std::vector<std::pair<std::string, bool>> files{
      {Write("run.tar", kNoData), false}, {folder.Path("missing.dat"), false}, {Generated("run.dat"), true}};
  if (Compressed()) {
    const std::string packed = Bytes(Generated("run.dat.gz"));
    files.emplace_back(Write("cut.dat.gz", packed.substr(0, packed.size() / 2)), false);
  }
  for (const char* jobs : {"1", "2"}) {
    std::vector<std::string> args{"stat", "--json", "--jobs", jobs};
    for (const auto& file : files) args.push_back(file.first);
    EXPECT_EQ(Run(args), kExitDataError);
    std::istringstream lines(out.str());
    std::string line;
    for (const auto& [file, readToEnd] : files) {
      ASSERT_TRUE(std::getline(lines, line)) << file;
      const nlohmann::json object = nlohmann::json::parse(line);
      EXPECT_EQ(object["file"], file);
      EXPECT_EQ(object["read_to_end"], readToEnd) << line;
    }
    EXPECT_FALSE(std::getline(lines, line)) << line;
  }
}

TEST_F(TudaInputTest, StandardInputIsRefusedAsItsFirstBlockPasses)
{
  EXPECT_EQ(Run({"stat", "-"}, &kNoData), kExitDataError);
  EXPECT_EQ(out.str(), "OpenDataFile: Opened data file -\n");
  EXPECT_EQ(err.str(),
            "tuda stat: - does not start with a data block (identifier 75 73 74 61 72 ...); use --force to decode "
            "it anyway\n");
}

TEST_F(TudaInputTest, AFileShorterThanABlockIsNotRefused)
{
  const std::string path = Write("short.dat", "ustar");
  EXPECT_EQ(Run({"events", path, "--quiet"}), kExitOk);
  EXPECT_EQ(err.str(), "");
}

// Every whole block before the damage is read, and the damage still fails the command.
TEST_F(TudaInputTest, EveryReadingCommandFailsOnDamagedCompressedData)
{
  if (!Compressed()) GTEST_SKIP() << "built without compressed files";
  const std::string packed = Bytes(Generated("run.dat.gz"));
  const std::string cut = Write("cut.dat.gz", packed.substr(0, packed.size() / 2));
  const std::vector<std::vector<std::string>> commands{
      {"events", cut}, {"info", cut}, {"stat", cut}, {"check", cut, "--all"},
      {"export", cut, "--out", folder.Path("cut.csv")}};
  for (const std::vector<std::string>& args : commands) {
    if (!Built(args[0])) continue;
    EXPECT_EQ(Run(args), kExitDataError) << args[0];
    EXPECT_NE(err.str().find("GetDataBlock: ERROR - gzip data of " + cut + " are damaged"), std::string::npos)
        << args[0] << ": " << err.str();
  }
}

// ---- gen ---------------------------------------------------------------------------------------

TEST_F(TudaInputTest, GenWritesACompressedFileThatReadsBackAsThePlainOne)
{
  if (!Compressed()) GTEST_SKIP() << "built without compressed files";
  const std::string plain = Generated("run.dat");
  const std::string packed = Generated("run.dat.gz");
  EXPECT_EQ(err.str(), "tuda gen: " + packed + ": 3 blocks of 32768 bytes, gzip-compressed\n");
  EXPECT_EQ(Bytes(packed).substr(0, 2), "\x1f\x8b");
  ASSERT_EQ(Run({"events", plain}), kExitOk);
  const std::string events = out.str().substr(out.str().find('\n'));
  ASSERT_EQ(Run({"events", packed}), kExitOk);
  EXPECT_EQ(out.str().substr(out.str().find('\n')), events);
}

}  // namespace
