#include "tools/Tuda.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/BlockSupport.h"
#include "tests/TestSupport.h"
#include "writer/MidasFileWriter.h"

// `tuda run` in-process, with the module UKMIDAS_PLUGIN_PATH that the build names.

namespace {

constexpr const char* kTypeListing =
    "ADCChannel:\tvector<short>\n"
    "ADCValue:\tvector<short>\n"
    "TDCChannel:\tvector<short>\n"
    "TDCValue:\tvector<short>\n";
// The reader's first event, before the first event-start token.
constexpr const char* kEmptyListing = "ADCChannel:\t\nADCValue:\t\nTDCChannel:\t\nTDCValue:\t\n";
constexpr const char* kFirstListing =
    "ADCChannel:\t   0 \nADCValue:\t 100 \nTDCChannel:\t   1 \nTDCValue:\t1001 \n";
constexpr const char* kSecondListing =
    "ADCChannel:\t   0    1 \nADCValue:\t 200  201 \nTDCChannel:\t   2 \nTDCValue:\t1002 \n";

// Event n: n ADC items and one TDC item.
WriterEvent NumberedEvent(unsigned n) {
  WriterEvent event;
  for (unsigned i = 0; i < n; ++i) {
    event.tokens.push_back(tokens::Adc(i, static_cast<uint16_t>(100 * n + i)));
  }
  event.tokens.push_back(tokens::Tdc(n, static_cast<uint16_t>(1000 + n)));
  return event;
}

// The bytes of a run of `count` numbered events of up to `largest` items, closed by an
// event-start token so that the reader returns every event.
std::string RunBytes(unsigned count, unsigned largest) {
  std::ostringstream bytes;
  MidasFileWriter writer(bytes);
  for (unsigned n = 1; n <= count; ++n) writer.AddEvent(NumberedEvent(1 + (n - 1) % largest));
  writer.AddToken(tokens::EventStart(0));
  writer.EndBlock();
  return bytes.str();
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A console buffer that fulfils `firstEvent` once the receiver has listed an event's values:
// the run is then inside its loop.
class WatchedBuffer : public std::stringbuf {
 public:
  std::promise<void> firstEvent;

 protected:
  int sync() override {
    if (!seen && Occurrences(str(), "ADCChannel:\t") >= 2) {
      seen = true;
      firstEvent.set_value();
    }
    return std::stringbuf::sync();
  }

 private:
  bool seen = false;
};

class RunCommandTest : public testing::Test {
 protected:
  void SetUp() override { unsetenv("UKMIDASDATA"); }

  std::string WriteFile(const std::string& fileName, const std::string& bytes) {
    const std::string path = folder.Path(fileName);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // `tuda run` with the console captured into `out` and `err`.
  int Run(std::vector<std::string> args, std::streambuf* outBuffer = nullptr) {
    out.str("");
    err.str("");
    const ConsoleRedirect redirect(outBuffer != nullptr ? outBuffer : out.rdbuf(), err.rdbuf());
    args.insert(args.begin(), "run");
    return RunTuda(args);
  }

  // The node's and the receiver's lines for a run of `path` that sends `listings`.
  static std::string RunOutput(const std::string& nodeName, const std::string& path,
                               const std::string& steps, const std::string& listings) {
    return nodeName + " instantiated\n" + nodeName + ": Opening " + path +
           "\nOpenDataFile: Opened data file " + path + "\n" + kTypeListing + nodeName +
           " running: " + steps + ", 0\n" + listings + "Stop()\n" + nodeName + " deleted\n";
  }

  ScratchFolder folder;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(RunCommandTest, ValuesListTheSetupTypesThenEveryEvent) {
  const std::string path = WriteFile("run.dat", RunBytes(2, 2));
  EXPECT_EQ(Run({"--file", path, "--plugin", UKMIDAS_PLUGIN_PATH}), 0);
  EXPECT_EQ(out.str(), RunOutput("src", path, "0",
                                 std::string(kEmptyListing) + kFirstListing + kSecondListing));
  EXPECT_EQ(err.str(), "");
}

TEST_F(RunCommandTest, PluginBesideTheProgramIsTheDefault) {
  const std::string path = WriteFile("run.dat", RunBytes(2, 2));
  EXPECT_EQ(Run({"--file", path}), 0);
  EXPECT_EQ(out.str(), RunOutput("src", path, "0",
                                 std::string(kEmptyListing) + kFirstListing + kSecondListing));
}

TEST_F(RunCommandTest, TypesAndNoneListLess) {
  const std::string path = WriteFile("run.dat", RunBytes(2, 2));
  EXPECT_EQ(Run({"--file", path, "--print", "types", "--plugin", UKMIDAS_PLUGIN_PATH}), 0);
  EXPECT_EQ(out.str(), RunOutput("src", path, "0", ""));
  EXPECT_EQ(Run({"--file", path, "--print=none", "--plugin", UKMIDAS_PLUGIN_PATH}), 0);
  std::string expected = RunOutput("src", path, "0", "");
  expected.erase(expected.find(kTypeListing), std::string(kTypeListing).size());
  EXPECT_EQ(out.str(), expected);
}

TEST_F(RunCommandTest, NameStepsAndIntervalReachTheNode) {
  const std::string path = WriteFile("run.dat", RunBytes(2, 2));
  EXPECT_EQ(Run({"--file", path, "--name", "reader", "--steps", "2", "--interval", "0",
                 "--plugin", UKMIDAS_PLUGIN_PATH}),
            0);
  EXPECT_EQ(out.str(), RunOutput("reader", path, "2", std::string(kEmptyListing) + kFirstListing));
}

TEST_F(RunCommandTest, LargestStepCountArrivesBitForBit) {
  const std::string path = WriteFile("run.dat", RunBytes(1, 1));
  EXPECT_EQ(Run({"--file", path, "--steps", "4294967295", "--print", "none", "--plugin",
                 UKMIDAS_PLUGIN_PATH}),
            0);
  EXPECT_NE(out.str().find("src running: 4294967295, 0\n"), std::string::npos);
}

TEST_F(RunCommandTest, ListFileSelectsTheDataFile) {
  const std::string path = WriteFile("run.dat", RunBytes(2, 2));
  const std::string list = WriteFile("runs.list", path + "\n");
  EXPECT_EQ(Run({"--listfile", list, "--plugin", UKMIDAS_PLUGIN_PATH}), 0);
  EXPECT_EQ(out.str(), RunOutput("src", path, "0",
                                 std::string(kEmptyListing) + kFirstListing + kSecondListing));
}

TEST_F(RunCommandTest, StatsWriteOneSummaryLine) {
  const std::string path = WriteFile("run.dat", RunBytes(2, 2));
  EXPECT_EQ(Run({"--file", path, "--stats", "--print", "none", "--plugin", UKMIDAS_PLUGIN_PATH}),
            0);
  const std::string counts = "tuda run: 3 events, 3 ADC items, 2 TDC items, 0.031 MB read, ";
  const std::string line = err.str();
  ASSERT_EQ(line.rfind(counts, 0), 0u) << line;
  double seconds = -1.0;
  double rate = -1.0;
  int consumed = 0;
  EXPECT_EQ(std::sscanf(line.c_str() + counts.size(), "%lf s, %lf MB/s\n%n", &seconds, &rate,
                        &consumed),
            2)
      << line;
  EXPECT_EQ(counts.size() + consumed, line.size()) << line;
  EXPECT_GE(seconds, 0.0);
  EXPECT_GE(rate, 0.0);
}

TEST_F(RunCommandTest, InterruptStopsTheRunCleanly) {
  const unsigned events = 2000;
  const std::string bytes = RunBytes(events, 5);
  ASSERT_EQ(bytes.size(), 2 * TEGBlockSize);
  const std::string path = folder.Path("run.fifo");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  // The second block may go to a reader that has already closed the pipe.
  struct sigaction ignorePipe {};
  ignorePipe.sa_handler = SIG_IGN;
  struct sigaction oldPipe {};
  sigaction(SIGPIPE, &ignorePipe, &oldPipe);

  // Caught as from an interactive shell, even when this test runs as a background job.
  signal(SIGINT, SIG_DFL);
  WatchedBuffer console;
  std::future<void> firstEvent = console.firstEvent.get_future();
  std::thread writer([&] {
    std::ofstream fifo(path, std::ios::binary);
    fifo.write(bytes.data(), TEGBlockSize).flush();
    firstEvent.wait();
    raise(SIGINT);
    fifo.write(bytes.data() + TEGBlockSize, TEGBlockSize).flush();
  });
  const int status = Run({"--file", path, "--plugin", UKMIDAS_PLUGIN_PATH}, &console);
  writer.join();
  sigaction(SIGPIPE, &oldPipe, nullptr);

  EXPECT_EQ(status, 130);
  const std::string text = console.str();
  const size_t listed = Occurrences(text, "ADCChannel:\t") - 1;
  EXPECT_GE(listed, 1u);
  EXPECT_LT(listed, events);
  EXPECT_EQ(text.substr(text.size() - 20), "\nStop()\nsrc deleted\n");
  EXPECT_EQ(err.str(), "tuda run: interrupted\n");
}

// ---- Error paths -------------------------------------------------------------------------------

TEST_F(RunCommandTest, FileThatDoesNotOpenExitsWithOne) {
  EXPECT_EQ(Run({"--file", "missing.dat", "--plugin", UKMIDAS_PLUGIN_PATH}), 1);
  EXPECT_EQ(out.str(),
            "src instantiated\nsrc: Opening missing.dat\nfilename /missing.dat\n"
            "MidasFile: missing.dat not found.\n" +
                std::string(kTypeListing) + "src running: 0, 0\nStop()\nsrc deleted\n");
  EXPECT_EQ(err.str(),
            "OpenDataFile: ERROR - Could not find file missing.dat\n"
            "OpenDataFile: ERROR - Could not find file /missing.dat\n"
            "tuda run: missing.dat: No such file or directory\n");
}

TEST_F(RunCommandTest, ListFileThatDoesNotOpenExitsWithOne) {
  EXPECT_EQ(Run({"--listfile", "/nonexistent-d/runs.list", "--print", "none", "--plugin",
                 UKMIDAS_PLUGIN_PATH}),
            1);
  EXPECT_EQ(err.str(), "ERROR - Could not open UK MIDAS file list /nonexistent-d/runs.list\n");
}

TEST_F(RunCommandTest, PluginThatDoesNotLoadExitsWithOne) {
  EXPECT_EQ(Run({"--file", "run.dat", "--plugin", "/nonexistent-d/UKMidasFile.kxp"}), 1);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str().rfind("tuda run: cannot load plug-in: /nonexistent-d/UKMidasFile.kxp", 0),
            0u)
      << err.str();
  EXPECT_EQ(Occurrences(err.str(), "\n"), 1u);
}

TEST_F(RunCommandTest, UsageErrorsExitWithTwo) {
  const std::string steps = "--steps: needs a whole decimal number from 0 to 4294967295, not ";
  const std::string interval = "--interval: needs a decimal number from 0 to 4294.967295, not ";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "give --file or --listfile, one of them"},
      {{"--file", "a", "--listfile", "b"}, "--file excludes --listfile"},
      {{"--file", ""}, "--file: needs a name, not ''"},
      {{"--listfile", ""}, "--listfile: needs a name, not ''"},
      {{"--file", "a", "--name", ""}, "--name: needs a name, not ''"},
      {{"--file", "a", "--plugin", ""}, "--plugin: needs a name, not ''"},
      {{"--file", "a", "--print", "all"}, "--print: all not in {none,types,values}"},
      {{"--file", "a", "--steps", "-1"}, steps + "'-1'"},
      {{"--file", "a", "--steps", "+1"}, steps + "'+1'"},
      {{"--file", "a", "--steps", "4294967296"}, steps + "'4294967296'"},
      {{"--file", "a", "--steps", "0x10"}, steps + "'0x10'"},
      {{"--file", "a", "--steps", "1.0"}, steps + "'1.0'"},
      {{"--file", "a", "--interval", "soon"}, interval + "'soon'"},
      {{"--file", "a", "--interval", "0x10"}, interval + "'0x10'"},
      {{"--file", "a", "--interval", "-1"}, interval + "'-1'"},
      {{"--file", "a", "--interval", "1s"}, interval + "'1s'"},
      {{"--file", "a", "--interval", "4294.967296"}, interval + "'4294.967296'"},
      {{"--file", "a", "--interval", "1e999"}, interval + "'1e999'"},
      {{"--file", "a", "--interval", "inf"}, interval + "'inf'"},
      {{"--file", "a", "--interval", "1e"}, interval + "'1e'"},
      {{"--file", "a", "extra"}, "The following argument was not expected: extra"},
      {{"--file", "a", "--fast"}, "unknown option --fast"},
      {{"--file", "a", "--stats=0"}, "stats was given a disallowed flag override"},
  };
  for (const auto& [args, message] : cases) {
    EXPECT_EQ(Run(args), 2) << message;
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "tuda run: " + message + " (see tuda help run)\n");
  }
}

// Decimal and exponent forms; below a microsecond the pause is none.
TEST_F(RunCommandTest, IntervalsInEveryDecimalForm) {
  const std::string path = WriteFile("run.dat", RunBytes(1, 1));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"1e-50", "0"}, {"0.0000009", "0"}, {"0", "0"}, {".5e-3", "0.0005"}, {"2.5E-4", "0.00025"}, {"1.", "1"}};
  for (const auto& [text, shown] : cases) {
    EXPECT_EQ(Run({"--file", path, "--interval", text, "--steps", "1", "--print", "none"}), 0) << text;
    EXPECT_NE(out.str().find("src running: 1, " + shown + "\n"), std::string::npos) << text << out.str();
  }
}

// A run cut short by its step limit did not read the file to its end: no volume is claimed.
TEST_F(RunCommandTest, StatsOfACutShortRunLeaveTheVolumeOut) {
  const std::string path = WriteFile("run.dat", RunBytes(2, 2));
  EXPECT_EQ(Run({"--file", path, "--stats", "--steps", "1", "--print", "none"}), 0);
  const std::string line = err.str();
  EXPECT_EQ(line.rfind("tuda run: 1 events, 0 ADC items, 0 TDC items, ", 0), 0u) << line;
  EXPECT_EQ(line.find("MB"), std::string::npos) << line;
}

// Blocks whose data length ends after the event-start token, before the two items; with zero
// words after the items, the same data length leaves only padding behind.
std::string BlocksEndedByLength(bool padded) {
  const Words items = Join({tokens::Adc(0, 1), tokens::Tdc(0, 2)});
  const Words data = Join({kEventStart, padded ? Words() : items, Words(4, 0)});
  const Bytes block = BuildBlock(data, LengthLayout((kHeaderWords + kEventStartWords) * kBytesPerWord));
  const Bytes bytes = Concatenated({block, block});
  return std::string(bytes.begin(), bytes.end());
}

TEST_F(RunCommandTest, WarnsBeforeTheRunWhenTheFirstBlocksLookWrong) {
  const std::string path = WriteFile("run.dat", BlocksEndedByLength(false));
  EXPECT_EQ(Run({"--file", path, "--print", "none"}), 0);
  EXPECT_EQ(err.str(), "tuda run: " + path +
                           ", first 2 blocks: looks wrong: its data lengths end 2 blocks before their last "
                           "token; tuda check shows more\n");
  EXPECT_NE(out.str().find("src running: 0, 0\n"), std::string::npos) << out.str();
}

TEST_F(RunCommandTest, ZeroPaddingAfterTheDataLengthIsNoWarning) {
  const std::string path = WriteFile("run.dat", BlocksEndedByLength(true));
  EXPECT_EQ(Run({"--file", path, "--print", "none"}), 0);
  EXPECT_EQ(err.str(), "");
}

}  // namespace
