#include "tools/Tuda.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>
#include <tuple>

#include <nlohmann/json.hpp>

#include "reader/TCodec.h"
#include "tests/BlockSupport.h"
#include "tests/InProcessPrograms.h"
#include "tests/TestSupport.h"
#include "tools/console/ExitStatus.h"
#include "tools/process/Version.h"
#include "writer/MidasFileWriter.h"

namespace {

class TudaTest : public testing::Test {
 protected:
  // A dump leaves the console in hexadecimal; the next test starts from the defaults.
  void TearDown() override { std::cout.flags(std::ios::dec | std::ios::skipws); }

  // Runs `tuda` with its console captured.
  int Run(const std::vector<std::string>& args)
  {
    out.str("");
    err.str("");
    const ConsoleRedirect redirect(out.rdbuf(), err.rdbuf());
    return RunTudaHere(args);
  }

  std::string Write(const std::string& name, const std::function<void(MidasFileWriter&)>& fill,
                    MidasFileWriter::LayoutChooser layout = [](uint64_t) { return BlockLayout(); })
  {
    const std::string path = folder.Path(name);
    std::ofstream file(path, std::ios::binary);
    MidasFileWriter writer(file, layout);
    fill(writer);
    writer.EndBlock();
    return path;
  }

  std::string ReadBytes(const std::string& name)
  {
    std::ifstream file(folder.Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  ScratchFolder folder;
  std::ostringstream out;
  std::ostringstream err;
};

// Two blocks: the first with one item of every kind and every token the decoder only reports;
// the second swapped, with a data length that counts the data words alone, so that decoding
// stops two words before its marker. Then a 5-byte trailing piece.
void StatRun(MidasFileWriter& writer)
{
  writer.AddEvent({{tokens::Adc(0, 1), tokens::Tdc(0, 2), tokens::Scaler(0, 3), tokens::Epics(0, 4),
                    tokens::Simple(0, 0, 0), tokens::Simple(40, 0, 0), tokens::Wide(65, 0, 0),
                    tokens::Group(5, 0, {}), tokens::ExtendedGroup(1)}});
  writer.EndBlock();
  writer.AddEvent({{tokens::Adc(1, 1)}});
  writer.AddRawBytes({1, 2, 3, 4, 5});
}

BlockLayout StatLayout(uint64_t blockIndex)
{
  BlockLayout layout;
  if (blockIndex == 1) {
    layout.swapped = true;
    layout.length = DataLength::kDataOnly;
  }
  return layout;
}

// A data length whose half lies far beyond the block: only the marker or the buffer end stop.
constexpr uint64_t kBeyondTheBlock = 0xffffffff;
const Words kTwoItems = Join({tokens::Adc(0, 1), tokens::Tdc(0, 2)});

// An event of two items, its words from word 16 of the block.
Bytes CleanBlock() { return BuildBlock(Join({kEventStart, kTwoItems}), BlockLayout()); }

// The data length ends decoding after the event-start token: the two items are not decoded.
Bytes CutBlock(bool swapped = false)
{
  BlockLayout layout = LengthLayout((kHeaderWords + kEventStartWords) * kBytesPerWord);
  layout.swapped = swapped;
  return BuildBlock(Join({kEventStart, kTwoItems}), layout);
}

// The data length ends at the data; six zero words follow before the marker.
Bytes PaddedBlock()
{
  const Words data = Join({kEventStart, kTwoItems});
  return BuildBlock(Join({data, Words(6, 0)}), LengthLayout((kHeaderWords + data.size()) * kBytesPerWord));
}

// Every token the decoder only reports, in a swapped block.
Bytes ReportedTokensBlock()
{
  BlockLayout layout;
  layout.swapped = true;
  return BuildBlock(Join({kEventStart, tokens::Simple(0, 0, 0), tokens::Simple(40, 0, 0), tokens::Wide(65, 0, 0),
                          tokens::Group(5, 0, {}), tokens::ExtendedGroup(1), tokens::Epics(0, 4), kEventStart}),
                    layout);
}

// No marker: extended group items to the block's end.
Bytes NoMarkerBlock()
{
  BlockLayout layout = LengthLayout(kBeyondTheBlock);
  layout.endMarker = false;
  return BuildBlock(Words(kBlockWords - kHeaderWords, tokens::ExtendedGroup(1)[0]), layout);
}

// An ADC item whose data word would lie past the block's end.
Bytes TokenPastEndBlock()
{
  Words data(kBlockWords - kHeaderWords - 1, tokens::ExtendedGroup(1)[0]);
  data.push_back(tokens::Adc(0, 1)[0]);
  return BuildBlock(data, BlockLayout());
}

const Bytes kTrailingPiece{1, 2, 3, 4, 5, 6, 7};

// Every kind of damage the reader steps over, in both byte orders.
Bytes EveryDamage()
{
  return Concatenated({CleanBlock(), CutBlock(), CutBlock(true), PaddedBlock(), ReportedTokensBlock(),
                       NoMarkerBlock(), TokenPastEndBlock()},
                      kTrailingPiece);
}

// The text without its "Read" line, the one figure that depends on time.
std::string WithoutReadLine(const std::string& text)
{
  const size_t at = text.find("\nRead ");
  if (at == std::string::npos) return text;
  return text.substr(0, at + 1) + text.substr(text.find('\n', at + 1) + 1);
}

// The line of a program beside tuda in the overview, marked where this build did not make it.
std::string ProgramLine(const std::string& line, bool built) { return line + (built ? "\n" : " (not built)\n"); }

TEST_F(TudaTest, HelpListsEverySubcommand)
{
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_EQ(out.str(),
            "Usage: tuda SUBCOMMAND [options] ARGS\n\n"
            "Decodes and inspects UK MIDAS list-mode data files of the TUDA detector array.\n\n"
            "Subcommands:\n"
            "  run     Run the source node plug-in on a data file\n"
            "  events  Decode data files and print every event\n"
            "  gen     Write a synthetic data file\n"
            "  dump    List the words of blocks\n"
            "  info    Decode a file and print the reader's counters\n"
            "  stat    Summarise data files at a glance\n"
            "  check   Tell whether files hold data this reader decodes as written\n" +
                ProgramLine("  export  Write every decoded item as HDF5 or CSV", kExportBuilt) +
                ProgramLine("  spectra Draw the spectra the source node delivers", kSpectraBuilt) +
                ProgramLine("  monitor Serve a web page of a run's spectra while it is read", kMonitorBuilt) +
                "  help    Show the help of tuda or of one subcommand\n\n"
            "Run 'tuda help SUBCOMMAND' or 'tuda SUBCOMMAND --help' for its arguments and options.\n"
            "Exit status: 0 on success, 1 when a file could not be read or output not written,\n"
            "2 on a usage error, 130 after Ctrl-C.\n\n"
            "Data files are read as they are or compressed (" +
                std::string(*CompiledCodecs() ? CompiledCodecs() : "none in this build") +
                "), told from\n"
                "their first bytes; - names standard input, ./- a file named -.\n");
  EXPECT_EQ(err.str(), "");
}

// `tuda help X` and `tuda X --help` give the same text, which names the exit statuses.
TEST_F(TudaTest, HelpOfEverySubcommand)
{
  for (const std::string name :
       {"run", "events", "gen", "dump", "info", "stat", "check", "export", "spectra", "help"}) {
    if (!Built(name)) continue;
    EXPECT_EQ(Run({"help", name}), kExitOk) << name;
    const std::string help = out.str();
    std::string oneLine = help;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    EXPECT_EQ(help.rfind("Usage: tuda " + name + " ", 0), 0u) << help;
    EXPECT_NE(help.find("\nExit status: 0 "), std::string::npos) << help;
    EXPECT_NE(oneLine.find(" 2 on a usage error"), std::string::npos) << help;
    EXPECT_EQ(Run({name, "--help"}), kExitOk) << name;
    EXPECT_EQ(out.str(), help);
    EXPECT_EQ(err.str(), "");
  }
}

// A program beside tuda that this build did not make is told in one line, with exit status 1,
// whether it is run or its help is asked for.
TEST_F(TudaTest, ProgramNotBuiltIsToldInOneLine)
{
  const std::vector<std::tuple<std::string, bool, std::string>> programs{
      {"export", kExportBuilt, "this build has no HDF5 export (configure with -DTUDA_EXPORT=ON and libhdf5-dev)"},
      {"spectra", kSpectraBuilt,
       "this build has no spectra pictures (configure with -DTUDA_SPECTRA=ON and libplplot-dev)"},
      {"monitor", kMonitorBuilt,
       "this build has no live spectra in a browser (configure with -DTUDA_MONITOR=ON and libcpp-httplib-dev)"}};
  if (kExportBuilt && kSpectraBuilt && kMonitorBuilt) GTEST_SKIP() << "this build makes every program beside tuda";
  for (const auto& [name, built, line] : programs) {
    if (built) continue;
    for (const std::vector<std::string>& args : {std::vector<std::string>{name, "run.dat"}, {"help", name}}) {
      EXPECT_EQ(Run(args), kExitDataError) << name;
      EXPECT_EQ(out.str(), "");
      EXPECT_EQ(err.str(), "tuda " + name + ": " + line + "\n");
    }
  }
}

TEST_F(TudaTest, HelpNeverRunsTheSubcommand)
{
  EXPECT_EQ(Run({"gen", folder.Path("out.dat"), "--help"}), kExitOk);
  EXPECT_FALSE(std::filesystem::exists(folder.Path("out.dat")));
}

TEST_F(TudaTest, GenIsDeterministicPerSeed)
{
  ASSERT_EQ(Run({"gen", folder.Path("a.dat"), "--events", "300", "--seed", "7"}), kExitOk);
  ASSERT_EQ(Run({"gen", folder.Path("b.dat"), "--events", "300", "--seed", "7"}), kExitOk);
  ASSERT_EQ(Run({"gen", folder.Path("c.dat"), "--events", "300", "--seed", "8"}), kExitOk);
  EXPECT_EQ(ReadBytes("a.dat"), ReadBytes("b.dat"));
  EXPECT_NE(ReadBytes("a.dat"), ReadBytes("c.dat"));
}

TEST_F(TudaTest, GenWritesExactlyTheBlocksAsked)
{
  EXPECT_EQ(Run({"gen", folder.Path("run.dat"), "--blocks", "3", "--swapped", "1"}), kExitOk);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "tuda gen: " + folder.Path("run.dat") + ": 3 blocks of 32768 bytes\n");
  const std::string bytes = ReadBytes("run.dat");
  ASSERT_EQ(bytes.size(), 3 * TEGBlockSize);
  for (uint32_t block = 0; block < 3; ++block) {
    const size_t orderByte = block * TEGBlockSize + kDataOrderWord * kBytesPerWord;
    EXPECT_EQ(bytes.substr(orderByte, 2), std::string("\0\1", 2)) << "block " << block;
  }
}

TEST_F(TudaTest, GenCountsOneBlockInTheSingular)
{
  EXPECT_EQ(Run({"gen", folder.Path("run.dat"), "--blocks", "1"}), kExitOk);
  EXPECT_EQ(err.str(), "tuda gen: " + folder.Path("run.dat") + ": 1 block of 32768 bytes\n");
  EXPECT_EQ(ReadBytes("run.dat").size(), TEGBlockSize);
}

TEST_F(TudaTest, GenEventsAreCountedByStat)
{
  ASSERT_EQ(Run({"gen", folder.Path("run.dat"), "--events", "500"}), kExitOk);
  ASSERT_EQ(Run({"stat", folder.Path("run.dat")}), kExitOk);
  EXPECT_NE(out.str().find("\nEvents                500\n"), std::string::npos) << out.str();
}

TEST_F(TudaTest, EventsPrintsOnlyTheReadersLines)
{
  const std::string path = Write("run.dat", [](MidasFileWriter& writer) {
    writer.AddEvent({{tokens::Adc(69, 0x1abc), tokens::Scaler(2, 0x12345678)}});
    writer.AddEvent({});
  });
  EXPECT_EQ(Run({"events", path}), kExitOk);
  EXPECT_EQ(out.str(),
            "OpenDataFile: Opened data file " + path +
                "\n"
                "TTudaEvent:\n"
                "TTudaEvent:\n"
                "adc:    channel=69 value=2748\n"
                "scaler: channel=2 value=305419896\n");
  EXPECT_EQ(err.str(), "");
}

TEST_F(TudaTest, EventsCarryTheLastItemsIntoTheNextFile)
{
  const std::string first = Write("first.dat", [](MidasFileWriter& writer) {
    writer.AddEvent({{tokens::Tdc(74, 9)}});
  });
  const std::string second = Write("second.dat", [](MidasFileWriter& writer) { writer.AddEvent({}); });
  EXPECT_EQ(Run({"events", first, second}), kExitOk);
  EXPECT_EQ(out.str(),
            "OpenDataFile: Opened data file " + first +
                "\n"
                "TTudaEvent:\n"
                "OpenDataFile: Opened data file " + second +
                "\n"
                "TTudaEvent:\n"
                "tdc:    channel=74 value=9\n");
}

TEST_F(TudaTest, DumpListsTheChosenBlock)
{
  const std::string path = Write("run.dat", [](MidasFileWriter& writer) {
    writer.AddEvent({{tokens::Adc(0, 1)}});
    writer.EndBlock();
    writer.AddEvent({{tokens::Adc(69, 0x1abc)}});
  });
  EXPECT_EQ(Run({"dump", path, "--block", "2"}), kExitOk);
  EXPECT_EQ(out.str(),
            "OpenDataFile: Opened data file " + path +
                "\n"
                "DumpEvents: Event 0 with 8 bytes of data\n"
                "SI w1=503 w2=1abc bits=0 addr=503 data=1abc\n"
                "DumpEvents: Call write event\n"
                "DumpEvents: End of block 2\n");
}

TEST_F(TudaTest, InfoPrintsTheCountersAfterTheWholeFile)
{
  const std::string path = Write("run.dat", [](MidasFileWriter& writer) {
    writer.AddEvent({{tokens::Adc(0, 1)}});
    writer.EndBlock();
    writer.AddEvent({{tokens::Adc(0, 1)}});
  });
  EXPECT_EQ(Run({"info", path, "--debug"}), kExitOk);
  const std::string text = out.str();
  EXPECT_NE(text.find("Blocks read         = 2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("EPICS groups:\n31 \n"), std::string::npos) << text;
  EXPECT_NE(text.find("PrintStatus: Sifted 0.0625 MB data in "), std::string::npos) << text;
}

TEST_F(TudaTest, StatCountsEveryKindAndWhatWasNeverDecoded)
{
  const std::string path = Write("run.dat", StatRun, StatLayout);
  EXPECT_EQ(Run({"stat", path}), kExitOk);
  const std::string text = out.str();
  const std::string expected =
      "OpenDataFile: Opened data file " + path +
      "\n"
      "Blocks                2, 1 swapped\n"
      "Events                2\n"
      "Items                 ADC 1, TDC 1, EPICS 1, scaler 1\n"
      "Items per group\n"
      "  group   0  none    1\n"
      "  group   1  ADC     1\n"
      "  group  20  TDC     1\n"
      "  group  30  scaler  1\n"
      "  group  31  EPICS   1\n"
      "  group  40  none    1\n"
      "  group  65  none    1\n"
      "Decoding errors       unknown group 2, group item 1, extended group item 1, token past block end 0\n"
      "Skipped silently      1 items of groups above 64\n"
      "Blocks ended          at the marker 1, at the data length 1, at the block end 0\n"
      "Never decoded         2 words between data length and marker in 1 blocks; 0 blocks without a marker "
      "after the data length\n"
      "Trailing piece        " + path +
      ": 5 bytes\n"
      "Items delivered       ADC 1, TDC 1, EPICS 1, scaler 1\n"
      "Held at the end       " + path +
      ": ADC 0, TDC 0, EPICS 0, scaler 0; never delivered\n"
      "Bytes                 block headers 64, decoded tokens 32, end-of-block markers 8, fill after the marker "
      "65406, trailing pieces 5\n"
      "Bytes not decoded     unknown group 8, group item 4, extended group item 2, groups above 64 8, token past "
      "block end 0, after the data length 4, zero padding after the data length 0\n"
      "Read                  ";
  EXPECT_EQ(text.substr(0, expected.size()), expected);
}

TEST_F(TudaTest, StatStopsAtTheBlockEnd)
{
  BlockLayout layout;
  layout.length = DataLength::kExplicit;
  layout.explicitLength = 2 * TEGBlockSize;
  const Words data(kBlockWords - kHeaderWords, tokens::ExtendedGroup(1)[0]);
  ASSERT_TRUE(WriteFileBytes(folder.Path("run.dat"), BuildBlock(data, layout)));
  EXPECT_EQ(Run({"stat", folder.Path("run.dat")}), kExitOk);
  EXPECT_NE(out.str().find("extended group item 16368, token past block end 0\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("at the marker 0, at the data length 0, at the block end 1\n"), std::string::npos);
}

// ---- Error paths ------------------------------------------------------------------------------

TEST_F(TudaTest, NoSubcommandShowsTheOverviewOnStandardError)
{
  EXPECT_EQ(Run({}), kExitUsage);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str().rfind("Usage: tuda SUBCOMMAND [options] ARGS\n", 0), 0u);
}

TEST_F(TudaTest, UnknownSubcommand)
{
  EXPECT_EQ(Run({"frob"}), kExitUsage);
  EXPECT_EQ(err.str(), "tuda: unknown subcommand 'frob' (see tuda --help)\n");
  EXPECT_EQ(Run({"help", "frob"}), kExitUsage);
  EXPECT_EQ(err.str(), "tuda: unknown subcommand 'frob' (see tuda --help)\n");
}

TEST_F(TudaTest, HelpOfHelp)
{
  EXPECT_EQ(Run({"help", "help"}), kExitOk);
  EXPECT_EQ(out.str().rfind("Usage: tuda help [OPTIONS] [SUBCOMMAND]\n", 0), 0u) << out.str();
}

// Every malformed value is a usage error that names the option and the value, and nothing runs.
// The version on standard output: the project's, then the checkout's description when built
// from one.
TEST_F(TudaTest, VersionStartsWithTheProjectsVersion)
{
  EXPECT_EQ(Run({"--version"}), kExitOk);
  EXPECT_EQ(out.str(), "tuda " + std::string(TudaVersion()) + "\n");
  EXPECT_EQ(out.str().rfind("tuda " TUDA_PROJECT_VERSION, 0), 0u) << out.str();
  EXPECT_EQ(err.str(), "");
}

TEST_F(TudaTest, MalformedValuesAreUsageErrors)
{
  const std::string target = folder.Path("out.dat");
  const std::string count = "needs a whole decimal number from 1 to ";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"dump", "run.dat", "--blocks", "18446744073709551615"}, "--blocks: " + count + "4294967295, not '18446744073709551615'"},
      {{"dump", "run.dat", "--block", "4294967296"}, "--block: " + count + "4294967295, not '4294967296'"},
      {{"dump", "run.dat", "--block", "0"}, "--block: " + count + "4294967295, not '0'"},
      {{"dump", "run.dat", "--block", "0x10"}, "--block: " + count + "4294967295, not '0x10'"},
      {{"dump", "run.dat", "--block", "+2"}, "--block: " + count + "4294967295, not '+2'"},
      {{"dump", "run.dat", "--block", " 2"}, "--block: " + count + "4294967295, not ' 2'"},
      {{"gen", target, "--events=12x"}, "--events: " + count + "18446744073709551615, not '12x'"},
      {{"gen", target, "--events", "18446744073709551616"}, "--events: " + count + "18446744073709551615, not '18446744073709551616'"},
      {{"gen", target, "--blocks", ""}, "--blocks: " + count + "18446744073709551615, not ''"},
      {{"gen", target, "--seed", "-1"}, "--seed: needs a whole decimal number from 0 to 18446744073709551615, not '-1'"},
      {{"gen", target, "--swapped", "1.5"}, "--swapped: needs a decimal number from 0 to 1, not '1.5'"},
      {{"gen", target, "--swapped", "nan"}, "--swapped: needs a decimal number from 0 to 1, not 'nan'"},
      {{"gen", target, "--swapped", "0x0.8"}, "--swapped: needs a decimal number from 0 to 1, not '0x0.8'"},
      {{"gen", ""}, "OUT: needs a name, not ''"},
      {{"gen", target, "--events", "1", "--blocks", "1"}, "--events excludes --blocks"},
      {{"info", "run.dat", "--debug=1"}, "debug was given a disallowed flag override"},
      {{"events", "--fast", "run.dat"}, "unknown option --fast"},
      {{"stat", "-lead.dat"}, "unknown option -lead.dat (a file whose name begins with - is reached as ./-lead.dat)"},
      {{"stat", "run.dat", "--jobs", "1", "--jobs", "2"}, "--jobs given twice"},
      {{"export", "run.dat", "--out=a.csv", "--out", "-"}, "--out given twice"},
      {{"dump", "run.dat", "--block", "-3"}, "--block: " + count + "4294967295, not '-3'"},
      {{"events"}, "FILE is required"},
      {{"stat", ""}, "FILE: needs a name, not ''"},
      {{"dump", "run.dat", "--block"}, "--block: 1 required N missing"},
      {{"help", "gen", "dump"}, "The following argument was not expected: dump"},
  };
  for (const auto& [args, message] : cases) {
    if (!Built(args[0])) continue;
    EXPECT_EQ(Run(args), kExitUsage) << message;
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "tuda " + args[0] + ": " + message + " (see tuda help " + args[0] + ")\n");
  }
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(TudaTest, GenIntoAFolderThatDoesNotExist)
{
  const std::string path = folder.Path("missing/run.dat");
  EXPECT_EQ(Run({"gen", path}), kExitDataError);
  EXPECT_EQ(err.str(), "tuda gen: cannot write " + path + ": No such file or directory\n");
  EXPECT_EQ(out.str(), "");
}

TEST_F(TudaTest, GenOverwritesOnlyWhenAsked)
{
  const std::string path = folder.Path("run.dat");
  std::ofstream(path) << "kept";
  EXPECT_EQ(Run({"gen", path, "--blocks", "1"}), kExitDataError);
  EXPECT_EQ(err.str(), "tuda gen: " + path + " exists; give --overwrite to replace it\n");
  EXPECT_EQ(ReadBytes("run.dat"), "kept");
  EXPECT_EQ(Run({"gen", path, "--blocks", "1", "--overwrite"}), kExitOk);
  EXPECT_EQ(ReadBytes("run.dat").size(), TEGBlockSize);
  // Nothing but the target is left in the folder: the temporary file took its name.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST_F(TudaTest, GenIntoAFolderGivesTheSystemsReason)
{
  EXPECT_EQ(Run({"gen", folder.Path()}), kExitDataError);
  EXPECT_EQ(err.str(), "tuda gen: cannot write " + folder.Path() + ": Is a directory\n");
}

TEST_F(TudaTest, EventsGoOnAfterAFileThatDoesNotOpen)
{
  const std::string missing = folder.Path("missing.dat");
  const std::string path = Write("run.dat", [](MidasFileWriter& writer) { writer.AddEvent({}); });
  EXPECT_EQ(Run({"events", missing, path}), kExitDataError);
  EXPECT_EQ(err.str(), "OpenDataFile: ERROR - Could not find file " + missing + "\ntuda events: " + missing +
                           ": No such file or directory\n");
  EXPECT_EQ(out.str(), "OpenDataFile: Opened data file " + path + "\nTTudaEvent:\n");
}

TEST_F(TudaTest, DumpBeyondTheLastBlock)
{
  const std::string path = Write("run.dat", [](MidasFileWriter& writer) { writer.AddEvent({}); });
  EXPECT_EQ(Run({"dump", path, "--block", "2"}), kExitDataError);
  EXPECT_EQ(err.str(), "tuda dump: " + path + " holds only 1 whole block\n");
}

TEST_F(TudaTest, DumpBeyondTheLastBlockCountsTheWholeBlocks)
{
  const std::string path = folder.Path("run.dat");
  ASSERT_EQ(Run({"gen", path, "--blocks", "3"}), kExitOk);
  std::ofstream(path, std::ios::binary | std::ios::app) << "tail";
  EXPECT_EQ(Run({"dump", path, "--block", "7"}), kExitDataError);
  EXPECT_EQ(err.str(), "tuda dump: " + path + " holds only 3 whole blocks\n"
                       "tuda dump: 4 bytes in 1 trailing piece shorter than a block not decoded; tuda stat shows more\n");
  EXPECT_EQ(out.str(), "OpenDataFile: Opened data file " + path + "\n");
}

TEST_F(TudaTest, StatWritesNoSummaryWhenNoFileOpens)
{
  const std::string missing = folder.Path("missing.dat");
  EXPECT_EQ(Run({"stat", missing}), kExitDataError);
  EXPECT_EQ(err.str(), "OpenDataFile: ERROR - Could not find file " + missing + "\ntuda stat: " + missing +
                           ": No such file or directory\n");
  EXPECT_EQ(out.str(), "");
}

TEST_F(TudaTest, InfoOnAFileThatDoesNotOpen)
{
  const std::string missing = folder.Path("missing.dat");
  EXPECT_EQ(Run({"info", missing}), kExitDataError);
  EXPECT_EQ(err.str(), "OpenDataFile: ERROR - Could not find file " + missing + "\ntuda info: " + missing +
                           ": No such file or directory\n");
  EXPECT_EQ(out.str(), "");
}

TEST_F(TudaTest, StatCountsATokenPastTheBlockEnd)
{
  Words data(kBlockWords - kHeaderWords - 1, tokens::ExtendedGroup(1)[0]);
  data.push_back(tokens::Adc(0, 1)[0]);
  ASSERT_TRUE(WriteFileBytes(folder.Path("run.dat"), BuildBlock(data, BlockLayout())));
  EXPECT_EQ(Run({"stat", folder.Path("run.dat")}), kExitOk);
  EXPECT_NE(out.str().find("extended group item 16367, token past block end 1\n"), std::string::npos) << out.str();
}

// ---- What the reader lost ----------------------------------------------------------------------

// Every byte of each file in one category of the ledger, and every item decoded either delivered
// or held at the end; standard output nothing but JSON, one object a line.
TEST_F(TudaTest, StatJsonLedgerAddsUpToTheFileSize)
{
  const std::vector<Bytes> files{EveryDamage(), Concatenated({PaddedBlock(), CleanBlock()}), Concatenated({CutBlock()})};
  std::vector<std::string> args{"stat", "--json"};
  for (size_t i = 0; i < files.size(); ++i) {
    args.push_back(folder.Path("run" + std::to_string(i) + ".dat"));
    ASSERT_TRUE(WriteFileBytes(args.back(), files[i]));
  }
  EXPECT_EQ(Run(args), kExitOk);
  std::istringstream lines(out.str());
  std::string line;
  size_t file = 0;
  nlohmann::json carried = {{"adc", 0}, {"tdc", 0}, {"epics", 0}, {"scaler", 0}};
  for (; std::getline(lines, line); ++file) {
    const nlohmann::json object = nlohmann::json::parse(line);
    ASSERT_LT(file, files.size());
    EXPECT_EQ(object["file"], args[2 + file]);
    uint64_t bytes = 0;
    for (const auto& [category, count] : object["bytes"].items()) bytes += count.get<uint64_t>();
    EXPECT_EQ(bytes, files[file].size()) << line;
    for (const char* kind : {"adc", "tdc", "epics", "scaler"}) {
      const auto count = [&object, kind](const char* member) { return object[member][kind].get<uint64_t>(); };
      EXPECT_EQ(carried[kind].get<uint64_t>() + count("items"), count("items_delivered") + count("items_held_at_end"))
          << kind << " in " << line;
    }
    carried = object["items_held_at_end"];
  }
  EXPECT_EQ(file, files.size());
  EXPECT_EQ(err.str().find("OpenDataFile: Opened data file " + args[2] + "\n"), 0u) << err.str();
}

TEST_F(TudaTest, StatShowsTheLedgerAndTheItemsHeldPerFile)
{
  ASSERT_TRUE(WriteFileBytes(folder.Path("a.dat"), Concatenated({PaddedBlock(), NoMarkerBlock()}, kTrailingPiece)));
  const std::string next = Write("b.dat", [](MidasFileWriter& writer) { writer.AddEvent({{tokens::Adc(1, 1)}}); });
  EXPECT_EQ(Run({"stat", folder.Path("a.dat"), next}), kExitOk);
  const std::string text = out.str();
  const std::string expected =
      "Items delivered       ADC 1, TDC 1, EPICS 0, scaler 0\n"
      "Held at the end       " + folder.Path("a.dat") + ": ADC 1, TDC 1, EPICS 0, scaler 0; carried into " + next + "\n"
      "Held at the end       " + next + ": ADC 1, TDC 0, EPICS 0, scaler 0; never delivered\n"
      "Bytes                 block headers 96, decoded tokens 20, end-of-block markers 8, fill after the marker 65432, "
      "trailing pieces 7\n"
      "Bytes not decoded     unknown group 0, group item 0, extended group item 32736, groups above 64 0, token past "
      "block end 0, after the data length 0, zero padding after the data length 12\n";
  EXPECT_NE(text.find(expected), std::string::npos) << text;
  EXPECT_EQ(err.str(), "tuda stat: 16,368 words in 1 block not decoded (extended group items, unsupported); 7 bytes "
                       "in 1 trailing piece shorter than a block not decoded\n");
}

struct AccountCase {
  const char* name;
  Bytes bytes;
  std::string line;  // after "tuda COMMAND: ", empty for none
};

// Neither padding nor the event held at the end of the data is lost.
const std::vector<AccountCase> kAccountCases{
    {"clean", Concatenated({CleanBlock(), CleanBlock()}), ""},
    {"zero padding", Concatenated({PaddedBlock()}), ""},
    {"cut by the data length", Concatenated({CutBlock(), CutBlock(true), CleanBlock()}),
     "8 words in 2 blocks not decoded (the data length ends these blocks before their marker)"},
    {"trailing piece", Concatenated({CleanBlock()}, kTrailingPiece),
     "7 bytes in 1 trailing piece shorter than a block not decoded"},
    {"token past the end", Concatenated({TokenPastEndBlock()}),
     "16,367 words in 1 block not decoded (extended group items, unsupported); 1 word in 1 block not decoded (a "
     "token runs past the end of these blocks)"},
};

TEST_F(TudaTest, AccountLineExactlyWhenSomethingWasLost)
{
  const std::string path = folder.Path("run.dat");
  const std::string more = "; tuda stat shows more";
  const std::vector<std::tuple<std::string, std::vector<std::string>, std::string>> commands{
      {"events", {path}, more}, {"info", {path}, more}, {"stat", {path}, ""}, {"export", {path, "--out", "-"}, more}};
  for (const AccountCase& account : kAccountCases) {
    ASSERT_TRUE(WriteFileBytes(path, account.bytes));
    for (const auto& [command, options, end] : commands) {
      if (!Built(command)) continue;
      std::vector<std::string> args{command};
      args.insert(args.end(), options.begin(), options.end());
      EXPECT_EQ(Run(args), kExitOk) << account.name;
      const std::string text = err.str();
      const std::string expected = account.line.empty() ? "" : "tuda " + command + ": " + account.line + end + "\n";
      EXPECT_EQ(text.substr(text.size() - std::min(text.size(), expected.size())), expected) << account.name;
      if (expected.empty()) {
        EXPECT_EQ(text.find("not decoded"), std::string::npos) << text;
      }
      args.push_back("--quiet");
      EXPECT_EQ(Run(args), kExitOk) << account.name;
      EXPECT_EQ(err.str().find("not decoded"), std::string::npos) << account.name;
    }
  }
}

// ---- Floods of the reader's lines --------------------------------------------------------------

// 1500 items of an unknown group, 1200 group items and 1100 extended group items in one block
// with the block identifier `id`.
Bytes FloodBlock(const std::string& id)
{
  BlockLayout layout;
  layout.id = id;
  return BuildBlock(Join({kEventStart, Repeat(tokens::Simple(0, 0, 0), 1500), Repeat(tokens::Group(5, 0, {}), 1200),
                          Words(1100, tokens::ExtendedGroup(1)[0])}),
                    layout);
}

size_t Occurrences(const std::string& text, const std::string& part)
{
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The reader's lines stop at 1000 for each cause where a file is mostly not data, unless
// --all-messages is given; `events` caps only a file it reads because of --force. The account
// line counts every word.
TEST_F(TudaTest, FloodsOfTheReadersLinesAreCappedPerCause)
{
  const std::string forced = folder.Path("forced.dat");
  const std::string data = folder.Path("data.dat");
  ASSERT_TRUE(WriteFileBytes(forced, FloodBlock("NOTADATA")));
  ASSERT_TRUE(WriteFileBytes(data, FloodBlock(kDataBlockId)));
  const std::vector<std::string> causeLines{"FormatData: ERROR - Unknown data group 0,",
                                            "FormatData: ERROR - group data is unused at TUDA",
                                            "DecodeEvents: EGI data is currently unsupported"};
  const std::vector<size_t> all{1500, 1200, 1100};
  const std::vector<size_t> capped{1000, 1000, 1000};
  struct Case {
    std::vector<std::string> args;
    std::vector<size_t> lines;
    size_t suppressed;
    std::string account;
  };
  const std::string oneBlock =
      "3,000 words in 1 block not decoded (items of unknown groups); 2,400 words in 1 block not decoded (group "
      "items, unused at TUDA); 1,100 words in 1 block not decoded (extended group items, unsupported); tuda stat "
      "shows more\n";
  const std::vector<Case> cases{
      {{"events", "--force", forced, data},
       {2500, 2200, 2100},
       3,
       "6,000 words in 2 blocks not decoded (items of unknown groups); 4,800 words in 2 blocks not decoded (group "
       "items, unused at TUDA); 2,200 words in 2 blocks not decoded (extended group items, unsupported); tuda stat "
       "shows more\n"},
      {{"events", "--force", "--all-messages", forced}, all, 0, oneBlock},
      {{"info", data}, capped, 3, oneBlock},
      {{"info", data, "--all-messages"}, all, 0, oneBlock},
      {{"export", data, "--out", "-"}, capped, 3, oneBlock},
      {{"export", "--force", forced, "--out", "-", "--all-messages"}, all, 0, oneBlock},
  };
  for (const Case& flood : cases) {
    if (!Built(flood.args[0])) continue;
    SCOPED_TRACE(flood.args[0] + " " + flood.args[1] + " ... " + flood.args.back());
    EXPECT_EQ(Run(flood.args), kExitOk);
    const std::string lines = out.str() + err.str();
    for (size_t cause = 0; cause < causeLines.size(); ++cause) {
      EXPECT_EQ(Occurrences(lines, causeLines[cause]), flood.lines[cause]) << causeLines[cause];
    }
    const std::string prefix = "tuda " + flood.args[0] + ": ";
    EXPECT_EQ(Occurrences(err.str(), prefix + "further lines like this suppressed; the account line counts them all\n"),
              flood.suppressed);
    EXPECT_EQ(Occurrences(out.str(), "suppressed"), 0u);
    const std::string account = prefix + flood.account;
    EXPECT_EQ(err.str().substr(err.str().size() - std::min(err.str().size(), account.size())), account);
  }
}

// The reader's lines on both streams, the summary and the account, file after file, whatever the
// number of threads: with a file that does not open, damage of every kind and items carried over.
// `tuda check` likewise writes its findings in the order the files were named.
TEST_F(TudaTest, JobsWriteWhatOneThreadWrites)
{
  std::vector<std::string> paths{folder.Path("missing.dat")};
  const std::vector<Bytes> files{EveryDamage(), Concatenated({CutBlock()}), Concatenated({NoMarkerBlock()}),
                                 Concatenated({CleanBlock()}, kTrailingPiece)};
  for (size_t i = 0; i < files.size(); ++i) {
    paths.push_back(folder.Path("run" + std::to_string(i) + ".dat"));
    ASSERT_TRUE(WriteFileBytes(paths.back(), files[i]));
  }
  const std::string openError = "OpenDataFile: ERROR - Could not find file ";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"stat"}, openError}, {{"stat", "--json"}, openError}, {{"check"}, "tuda check: Could not find file "}};
  for (const auto& [command, missingLine] : cases) {
    std::vector<std::string> args = command;
    args.insert(args.end(), {"--jobs", "1"});
    const size_t jobsIndex = args.size() - 1;
    args.insert(args.end(), paths.begin(), paths.end());
    EXPECT_EQ(Run(args), kExitDataError);
    const std::string oneOut = WithoutReadLine(out.str());
    const std::string oneErr = err.str();
    args[jobsIndex] = "2";
    EXPECT_EQ(Run(args), kExitDataError);
    EXPECT_EQ(WithoutReadLine(out.str()), oneOut);
    EXPECT_EQ(err.str(), oneErr);
    EXPECT_NE(oneErr.find(missingLine + paths[0] + "\n"), std::string::npos) << oneErr;
  }
}

}  // namespace
