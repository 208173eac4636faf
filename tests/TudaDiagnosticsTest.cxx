// The reader's diagnostic printouts: settings, status and the word-by-word dump of a block,
// including the number base the dump leaves on standard output.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "reader/TTudaData.h"
#include "tests/BlockSupport.h"
#include "tests/TestSupport.h"
#include "writer/MidasFileWriter.h"

namespace {

const std::string kAdcExampleLine = "SI w1=503 w2=1abc bits=0 addr=503 data=1abc\n";
const std::string kTdcExampleLine = "SI w1=a15 w2=1abc bits=0 addr=a15 data=1abc\n";
const std::string kClosingLines = "DumpEvents: Call write event\nDumpEvents: End of block 1\n";

const std::string kSettingsLines =
    "Integers in block   = 16384\n"
    "Characters in block = 32768\n"
    "Block size          = 32768\n"
    "Blocks read         = 0\n"
    "ADC group first     = 1\n"
    "TDC group first     = 20\n"
    "EPICS group first   = 31\n"
    "Scaler group first  = 30\n";

class TudaDiagnosticsTest : public ::testing::Test {
 protected:
  void SetUp() override { savedFlags = std::cout.flags(); }
  void TearDown() override { std::cout.flags(savedFlags); }

  // Opens a one-block file holding `data`.
  void OpenBlock(const Words& data, const BlockLayout& layout = BlockLayout())
  {
    const std::string path = folder.Path("block.dat");
    ASSERT_TRUE(WriteFileBytes(path, BuildBlock(data, layout)));
    CaptureConsole([&] { reader.OpenDataFile(path.c_str()); });
  }

  // Opens a one-block file holding `data` and loads the block: the cursor is at word 16.
  void LoadBlock(const Words& data, const BlockLayout& layout = BlockLayout())
  {
    OpenBlock(data, layout);
    ASSERT_TRUE(reader.GetDataBlock());
    reader.DecodeHeader();
  }

  // Opens a one-block file holding `data` and decodes its first event.
  TTudaEvent* DecodeFirstEvent(const Words& data)
  {
    OpenBlock(data);
    TTudaEvent* event = nullptr;
    CaptureConsole([&] { event = reader.GetNextEvent(); });
    EXPECT_NE(event, nullptr);
    return event;
  }

  Console Dump()
  {
    return CaptureConsole([&] { reader.DumpEvents(); });
  }

  std::ios::fmtflags savedFlags;
  ScratchFolder folder;
  TTudaData reader;
};

// ---- Print and PrintStatus -----------------------------------------------------------------

TEST_F(TudaDiagnosticsTest, PrintOfANewReader)
{
  const Console console = CaptureConsole([&] { reader.Print(nullptr); });
  EXPECT_EQ(console.out, "Debug level         = 0\n" + kSettingsLines);
  EXPECT_EQ(console.err, "");
}

TEST_F(TudaDiagnosticsTest, PrintWithTheDebugFlagAddsTheFourGroupSets)
{
  reader.SetDebug(3);
  EXPECT_EQ(CaptureConsole([&] { reader.Print(nullptr); }).out,
            "Debug level         = 1\n" + kSettingsLines +
                "ADC groups:\n"
                "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 \n"
                "TDC groups:\n"
                "20 21 22 23 24 25 26 27 28 29 \n"
                "Scaler groups:\n"
                "30 \n"
                "EPICS groups:\n"
                "31 \n");
}

TEST_F(TudaDiagnosticsTest, PrintStatusWithNoBlockRead)
{
  const Console console = CaptureConsole([&] { reader.PrintStatus(5); });
  EXPECT_EQ(console.out, "PrintStatus: Sifted 0 MB data in 5 seconds\n");
  EXPECT_EQ(console.err, "");
}

TEST_F(TudaDiagnosticsTest, PrintStatusGivesMebibytes)
{
  reader.fBlocksRead = 100;
  EXPECT_EQ(CaptureConsole([&] { reader.PrintStatus(7); }).out,
            "PrintStatus: Sifted 3.125 MB data in 7 seconds\n");
}

// ---- DumpEvents ----------------------------------------------------------------------------

TEST_F(TudaDiagnosticsTest, DumpAtTheMarkerWritesOnlyTheClosingLines)
{
  DecodeFirstEvent(tokens::EventStart(4));
  const Console console = Dump();
  EXPECT_EQ(console.out, kClosingLines);
  EXPECT_EQ(console.err, "");
}

TEST_F(TudaDiagnosticsTest, DumpOfTwoEvents)
{
  LoadBlock(Join({tokens::EventStart(8), kAdcExample, tokens::EventStart(40), kTdcExample}));
  reader.fBlocksRead = 26;
  const Console console = Dump();
  // The event lines are decimal; the item lines leave the stream hexadecimal.
  EXPECT_EQ(console.out, "DumpEvents: Event 0 with 8 bytes of data\n" + kAdcExampleLine +
                             "DumpEvents: Call write event\n"
                             "DumpEvents: Event 1 with 40 bytes of data\n" +
                             kTdcExampleLine +
                             "DumpEvents: Call write event\n"
                             "DumpEvents: End of block 1a\n");
  EXPECT_EQ(console.err, "");
  EXPECT_EQ(std::cout.flags() & std::ios::basefield, std::ios::hex);
}

TEST_F(TudaDiagnosticsTest, GroupItemShowsThePrecedingWordAndIndexesItsDataInHexadecimal)
{
  Words data;
  for (uint16_t j = 0; j < 11; ++j) data.push_back(static_cast<uint16_t>(0x100 + j));
  LoadBlock(Join({tokens::EventStart(48), tokens::Group(5, 0x7777, data)}));
  std::string dataLines;
  for (unsigned j = 0; j < 11; ++j) {
    std::ostringstream line;
    line << std::hex << " data[" << j << "]=" << 0x100 + j << "\n";
    dataLines += line.str();
  }
  EXPECT_EQ(Dump().out,
            "DumpEvents: Event 0 with 48 bytes of data\n"
            "GI w1=30 w2=4b05 bits=1 count=b group=5" +
                dataLines + kClosingLines);
  EXPECT_NE(dataLines.find(" data[a]=10a\n"), std::string::npos);
}

TEST_F(TudaDiagnosticsTest, GroupItemWithoutDataLeavesItsLineOpen)
{
  LoadBlock(Join({tokens::EventStart(48), tokens::Group(5, 0x7777, {}), kAdcExample}));
  EXPECT_EQ(Dump().out,
            "DumpEvents: Event 0 with 48 bytes of data\n"
            "GI w1=30 w2=4005 bits=1 count=0 group=5" +
                kAdcExampleLine + kClosingLines);
}

TEST_F(TudaDiagnosticsTest, AnExtendedGroupItemIsListedOnceAndTheDumpGoesOnAtTheNextWord)
{
  LoadBlock(Join({tokens::EventStart(8), tokens::ExtendedGroup(0x123), kAdcExample}));
  const Console console = Dump();
  EXPECT_EQ(console.out,
            "DumpEvents: Event 0 with 8 bytes of data\n"
            "DumpEvents: EGI data is currently unsupported\n" +
                kAdcExampleLine + kClosingLines);
  EXPECT_EQ(console.err, "");
}

TEST_F(TudaDiagnosticsTest, PrintAfterADumpWritesItsNumbersInHexadecimal)
{
  LoadBlock(Join({tokens::EventStart(8), kAdcExample}));
  Dump();
  const std::string out = CaptureConsole([&] { reader.Print(nullptr); }).out;
  EXPECT_NE(out.find("Integers in block   = 4000\n"), std::string::npos) << out;
}

TEST_F(TudaDiagnosticsTest, AnItemLineAfterADumpIsDecimal)
{
  LoadBlock(Join({tokens::EventStart(8), kAdcExample}));
  Dump();
  TTudaEvent::AdcItem item;
  item.SetChannel(69);
  item.SetValue(2748);
  EXPECT_EQ(CaptureConsole([&] { item.Print("adc:    "); }).out, "adc:    channel=69 value=2748\n");
  EXPECT_EQ(std::cout.flags() & std::ios::basefield, std::ios::dec);
}

TEST_F(TudaDiagnosticsTest, TheDumpLeavesCursorAndEventForTheDecoder)
{
  TTudaEvent* event =
      DecodeFirstEvent(Join({tokens::EventStart(8), kAdcExample, kTdcExample, tokens::EventStart(4)}));
  const uint16_t* cursor = reader.fCursor;

  EXPECT_EQ(Dump().out,
            kAdcExampleLine + kTdcExampleLine + "DumpEvents: Event 0 with 4 bytes of data\n" + kClosingLines);
  EXPECT_EQ(reader.fCursor, cursor);
  EXPECT_TRUE(event->GetAdcItems().empty());

  CaptureConsole([&] { event = reader.GetNextEvent(); });
  ASSERT_EQ(event->GetAdcItems().size(), 1u);
  EXPECT_EQ(event->GetAdcItems()[0].GetChannel(), 69);
  ASSERT_EQ(event->GetTdcItems().size(), 1u);
  EXPECT_EQ(event->GetTdcItems()[0].GetChannel(), 74);
}

// ---- Error paths ---------------------------------------------------------------------------

TEST_F(TudaDiagnosticsTest, DumpBeforeAnyBlockIsLoaded)
{
  const Console console = Dump();
  EXPECT_EQ(console.err, "DumpEvents: ERROR - no block loaded, nothing to dump\n");
  EXPECT_EQ(console.out, "");
}

TEST_F(TudaDiagnosticsTest, DumpOfABlockWithoutMarkerStopsAtTheEndOfTheBuffer)
{
  BlockLayout layout;
  layout.endMarker = false;
  LoadBlock(Join({tokens::EventStart(8), Repeat(kAdcExample, kItemsToWord16382 + 1)}), layout);
  const Console console = Dump();
  EXPECT_EQ(console.err,
            "DumpEvents: ERROR - no end-of-block marker before the end of the block at word 16384, ending "
            "the dump\n");
  std::string itemLines;
  for (unsigned i = 0; i < kItemsToWord16382 + 1; ++i) itemLines += kAdcExampleLine;
  EXPECT_EQ(console.out, "DumpEvents: Event 0 with 8 bytes of data\n" + itemLines + kClosingLines);
}

TEST_F(TudaDiagnosticsTest, DumpStopsAtAGroupItemWhoseDataRunPastTheBuffer)
{
  BlockLayout layout;
  layout.endMarker = false;
  // The group item at word 16380 announces five data words; four words of the block are left.
  LoadBlock(Join({tokens::EventStart(8), Repeat(kAdcExample, kItemsToWord16382 - 1),
                  tokens::Group(5, 0, Words(5, 0x0503))}),
            layout);
  const Console console = Dump();
  EXPECT_EQ(console.err,
            "DumpEvents: ERROR - token at word 16380 runs past the end of the block, ending the dump\n");
  EXPECT_EQ(console.out.find("GI"), std::string::npos);
  EXPECT_EQ(console.out.substr(console.out.size() - kAdcExampleLine.size() - kClosingLines.size()),
            kAdcExampleLine + kClosingLines);
}

TEST_F(TudaDiagnosticsTest, DumpStopsAtASimpleItemInTheLastWord)
{
  BlockLayout layout;
  layout.endMarker = false;
  LoadBlock(Join({tokens::EventStart(8), tokens::ExtendedGroup(0), Repeat(kAdcExample, kItemsToWord16382),
                  kTdcExample}),
            layout);
  const Console console = Dump();
  EXPECT_EQ(console.err,
            "DumpEvents: ERROR - token at word 16383 runs past the end of the block, ending the dump\n");
  EXPECT_EQ(console.out.find("SI w1=a15"), std::string::npos);
  EXPECT_EQ(console.out.substr(console.out.size() - kClosingLines.size()), kClosingLines);
}

}  // namespace
