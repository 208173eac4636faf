// The block file reader: opening files, reading and interpreting blocks, decoding tokens into
// events, block ends, byte orders, copying. Every data file is built with the project's writer.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "reader/TTudaData.h"
#include "tests/BlockSupport.h"
#include "tests/TestSupport.h"
#include "writer/MidasFileWriter.h"

namespace {

// A data length whose half lies far beyond the block: only the marker or the buffer end stop.
constexpr uint64_t kBeyondTheBlock = 0xffffffff;
const Words kEndOfBlock{kEndOfBlockFirstWord, kEndOfBlockSecondWord};

// Worked examples: an item's words and what the decoder makes of them.
const Words kScalerExample{0x041e, 0x5678, 0x051e, 0x1234};  // scaler channel 2, 305419896
const Words kEpicsExample{0x061f, 0x0010, 0x071f, 0x0001};   // EPICS channel 3, 65552.0
const Words kBeyondSetsExample{0x0141};                      // group 65: skipped, 4 words

template <typename T>
std::vector<std::pair<unsigned, T>> Pairs(const std::vector<TDataItem<T>>& items)
{
  std::vector<std::pair<unsigned, T>> pairs;
  for (const TDataItem<T>& item : items) pairs.emplace_back(item.GetChannel(), item.GetValue());
  return pairs;
}

using ShortPairs = std::vector<std::pair<unsigned, unsigned short>>;
using LongPairs = std::vector<std::pair<unsigned, unsigned>>;
using FloatPairs = std::vector<std::pair<unsigned, float>>;

class TudaDataTest : public ::testing::Test {
 protected:
  // The blocks one after the other, then `tail`, as a file in the temporary folder.
  std::string WriteBlocks(const std::string& name, const std::vector<Bytes>& blocks, const Bytes& tail = {})
  {
    const std::string path = folder.Path(name);
    EXPECT_TRUE(WriteFileBytes(path, Concatenated(blocks, tail)));
    return path;
  }

  void Open(TTudaData& into, const std::string& path)
  {
    const Console console = CaptureConsole([&] { into.OpenDataFile(path.c_str()); });
    EXPECT_EQ(console.out, "OpenDataFile: Opened data file " + path + "\n");
    EXPECT_EQ(console.err, "");
  }

  // Opens the blocks on the fixture's reader.
  void OpenBlocks(const std::vector<Bytes>& blocks, const Bytes& tail = {})
  {
    Open(reader, WriteBlocks("run.dat", blocks, tail));
  }

  // The next event or null, expecting the reader to write nothing.
  TTudaEvent* Next()
  {
    TTudaEvent* event = nullptr;
    const Console console = CaptureConsole([&] { event = reader.GetNextEvent(); });
    EXPECT_EQ(console.out, "");
    EXPECT_EQ(console.err, "");
    return event;
  }

  // The next event, which must come; what the reader wrote meanwhile goes to `console`, or must
  // be nothing.
  TTudaEvent& NextEvent(Console* console = nullptr)
  {
    TTudaEvent* event = nullptr;
    const Console output = CaptureConsole([&] { event = reader.GetNextEvent(); });
    if (console) {
      *console = output;
    } else {
      EXPECT_EQ(output.out, "");
      EXPECT_EQ(output.err, "");
    }
    if (!event) {
      ADD_FAILURE() << "no event";
      return *reader.fEvent;
    }
    EXPECT_EQ(event, reader.fEvent);
    return *event;
  }

  // The second event of one block: an event-start token, `items`, an event-start token; the
  // first event, empty, is returned at the first token.
  TTudaEvent& DecodeBetweenEventStarts(const Words& items, Console* console = nullptr)
  {
    OpenBlocks({BuildBlock(Join({kEventStart, items, kEventStart}), BlockLayout())});
    EXPECT_TRUE(NextEvent().GetAdcItems().empty());
    return NextEvent(console);
  }

  unsigned FormatWords(const Words& words)
  {
    TSimpleItem item;
    item.addr = words[0] & kAddressMask;
    item.data = words.data() + 1;
    return reader.FormatData(&item);
  }

  ScratchFolder folder;
  TTudaData reader;
};

// ---- Construction and settings -----------------------------------------------------------------

TEST_F(TudaDataTest, NewReaderHasBlockSizesFirstGroupsAndNoFile)
{
  EXPECT_EQ(reader.fBlockSize, 32768u);
  EXPECT_EQ(reader.fCharsInBlock, 32768u);
  EXPECT_EQ(reader.fIntsInBlock, 16384u);
  EXPECT_TRUE(reader.fNeedBlock);
  EXPECT_FALSE(reader.fDebug);
  EXPECT_EQ(reader.fBlocksRead, 0u);
  EXPECT_EQ(reader.fAdcFirstGroup, 1);
  EXPECT_EQ(reader.fTdcFirstGroup, 20);
  EXPECT_EQ(reader.fEpicsFirstGroup, 31);
  EXPECT_EQ(reader.fScalerFirstGroup, 30);
  ASSERT_NE(reader.fEvent, nullptr);
  EXPECT_TRUE(reader.fEvent->GetAdcItems().empty());
  EXPECT_FALSE(reader.fFile.is_open());
}

TEST_F(TudaDataTest, SetDebugTakesEveryNonzeroLevelAsOn)
{
  reader.SetDebug(2);
  EXPECT_TRUE(reader.fDebug);
  reader.SetDebug(0);
  EXPECT_FALSE(reader.fDebug);
  reader.SetDebug(-1);
  EXPECT_TRUE(reader.fDebug);
}

TEST_F(TudaDataTest, SetGroupsTakesTheLowestGroupOfEachSet)
{
  reader.fAdcFirstGroup = reader.fTdcFirstGroup = reader.fEpicsFirstGroup = reader.fScalerFirstGroup = 0;
  reader.SetGroups();
  EXPECT_EQ(reader.fAdcFirstGroup, 1);
  EXPECT_EQ(reader.fTdcFirstGroup, 20);
  EXPECT_EQ(reader.fEpicsFirstGroup, 31);
  EXPECT_EQ(reader.fScalerFirstGroup, 30);
}

// ---- Opening files and reading blocks ------------------------------------------------------

TEST_F(TudaDataTest, OpeningAFileSaysSoOnStandardOutput)
{
  const std::string path = WriteBlocks("one.dat", {BuildBlock(kEventStart, BlockLayout())});
  const Console console = CaptureConsole([&] { reader.OpenDataFile(path.c_str()); });
  EXPECT_EQ(console.out, "OpenDataFile: Opened data file " + path + "\n");
  EXPECT_EQ(console.err, "");
  EXPECT_TRUE(reader.fFile.is_open());
}

TEST_F(TudaDataTest, ReopeningAFileRestartsAtItsFirstBlockAndKeepsTheCount)
{
  BlockLayout first;
  first.serial = 100;
  BlockLayout second;
  second.serial = 101;
  const std::string path =
      WriteBlocks("two.dat", {BuildBlock(kEventStart, first), BuildBlock(kEventStart, second)});
  Open(reader, path);
  EXPECT_TRUE(reader.GetDataBlock());
  EXPECT_TRUE(reader.GetDataBlock());
  EXPECT_FALSE(reader.GetDataBlock());
  EXPECT_EQ(reader.fBlocksRead, 2u);

  Open(reader, path);
  ASSERT_TRUE(reader.GetDataBlock());
  reader.DecodeHeader();
  EXPECT_EQ(reader.fHeader.fSerial, 100u);
  EXPECT_EQ(reader.fBlocksRead, 3u);
}

TEST_F(TudaDataTest, CloseDataFileClosesTheStream)
{
  Open(reader, WriteBlocks("one.dat", {BuildBlock(kEventStart, BlockLayout())}));
  reader.CloseDataFile();
  EXPECT_FALSE(reader.fFile.is_open());
  EXPECT_FALSE(reader.GetDataBlock());
  EXPECT_EQ(reader.fBlocksRead, 0u);
}

TEST_F(TudaDataTest, ANamedPipeStaysReadable)
{
  const std::string path = folder.Path("pipe");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  const Bytes block = BuildBlock(Join({kEventStart, kAdcExample}), BlockLayout());
  std::thread feeder([&] { WriteFileBytes(path, block); });
  const Console console = CaptureConsole([&] { reader.OpenDataFile(path.c_str()); });
  if (!reader.fFile.is_open()) std::ifstream release(path);  // lets the feeder finish
  feeder.join();

  EXPECT_EQ(console.out, "OpenDataFile: Opened data file " + path + "\n");
  ASSERT_TRUE(reader.fFile.is_open());
  EXPECT_TRUE(reader.GetDataBlock());
  EXPECT_EQ(std::memcmp(reader.fBuffer, block.data(), TEGBlockSize), 0);
}

TEST_F(TudaDataTest, ACharacterDeviceStaysReadable)
{
  Open(reader, "/dev/zero");
  EXPECT_TRUE(reader.GetDataBlock());
  EXPECT_EQ(reader.fBlocksRead, 1u);
}

TEST_F(TudaDataTest, AShortTrailingPieceIsNeverRead)
{
  const Bytes next = BuildBlock(Join({kEventStart, tokens::Adc(2, 22), kEventStart}), BlockLayout());
  OpenBlocks({BuildBlock(Join({kEventStart, tokens::Adc(1, 11)}), BlockLayout())},
             Bytes(next.begin(), next.begin() + TEGBlockSize - 1));

  EXPECT_TRUE(NextEvent().GetAdcItems().empty());
  EXPECT_EQ(Next(), nullptr);
  EXPECT_EQ(Pairs(reader.fEvent->GetAdcItems()), (ShortPairs{{1, 11}}));
  EXPECT_EQ(reader.fBlocksRead, 1u);
}

// ---- Block headers -------------------------------------------------------------------------

TEST_F(TudaDataTest, HeaderFieldsOfALittleEndianBlock)
{
  BlockLayout layout = LengthLayout(0x1234);
  layout.serial = 0x12345678;
  layout.aux1 = 0x1111;
  layout.aux2 = 0x2222;
  layout.aux3 = 0x3333;
  OpenBlocks({BuildBlock(kEventStart, layout)});
  ASSERT_TRUE(reader.GetDataBlock());
  reader.DecodeHeader();

  EXPECT_EQ(std::string(reader.fHeader.fId, kIdBytes), "EBYEDATA");
  EXPECT_EQ(reader.fHeader.fSerial, 0x12345678u);
  EXPECT_EQ(reader.fHeader.fAux1, 0x1111);
  EXPECT_EQ(reader.fHeader.fAux2, 0x2222);
  EXPECT_EQ(reader.fHeader.fAux3, 0x3333);
  EXPECT_EQ(reader.fHeader.fDataOrder, kNativeDataOrder);
  EXPECT_EQ(reader.fHeader.fDataLength, 0x1234u);
  EXPECT_EQ(reader.fCursor, reader.fBuffer + kHeaderWords);
}

TEST_F(TudaDataTest, AShortIdentifierIsPaddedWithNuls)
{
  BlockLayout layout;
  layout.id = "AB";
  OpenBlocks({BuildBlock(kEventStart, layout)});
  ASSERT_TRUE(reader.GetDataBlock());
  std::memset(reader.fHeader.fId, 'x', kIdBytes);
  reader.DecodeHeader();
  EXPECT_EQ(std::string(reader.fHeader.fId, kIdBytes), std::string("AB\0\0\0\0\0\0", kIdBytes));
}

TEST_F(TudaDataTest, ASwappedBlockIsSwappedInMemory)
{
  const Words data = Join({kEventStart, kAdcExample, kScalerExample});
  BlockLayout layout = LengthLayout(0x00012345);
  layout.swapped = true;
  layout.serial = 0x12345678;
  layout.aux1 = 0x1122;
  layout.aux2 = 0x3344;
  layout.aux3 = 0x5566;
  layout.lengthHighBytes = 0x7;
  layout.fill = 0xabcd;
  OpenBlocks({BuildBlock(data, layout)});
  ASSERT_TRUE(reader.GetDataBlock());
  reader.DecodeHeader();

  EXPECT_EQ(reader.fHeader.fDataOrder, kNativeDataOrder);
  EXPECT_EQ(reader.fHeader.fAux1, 0x1122);
  EXPECT_EQ(reader.fHeader.fAux2, 0x3344);
  EXPECT_EQ(reader.fHeader.fAux3, 0x5566);
  EXPECT_EQ(reader.fHeader.fSerial, 0x12345678u);
  EXPECT_EQ(reader.fHeader.fDataLength, 0x00012345u);
  const uint16_t* words = reader.fBuffer;
  EXPECT_EQ(Words(words + kHeaderWords, words + kHeaderWords + data.size()), data);
  EXPECT_EQ(words[kBlockWords - 1], 0xabcd);
}

TEST_F(TudaDataTest, NonzeroBytes24To27GiveALengthOfTwoToThe32OrMore)
{
  BlockLayout layout = LengthLayout(0x40);
  layout.lengthHighBytes = 1;
  OpenBlocks({BuildBlock(Join({kEventStart, AdcItems(20)}), layout), BuildBlock(kEventStart, BlockLayout())});
  Next();
  EXPECT_EQ(reader.fHeader.fDataLength, 0x100000040u);
  EXPECT_EQ(NextEvent().GetAdcItems().size(), 20u);
}

TEST_F(TudaDataTest, EveryByteOrderWordButTheSwappedOneMeansLittleEndian)
{
  Bytes block = BuildBlock(Join({kEventStart, kAdcExample, kEventStart}), BlockLayout());
  block[2 * kDataOrderWord] = 0;
  block[2 * kDataOrderWord + 1] = 0;
  OpenBlocks({block});
  Next();
  EXPECT_EQ(reader.fHeader.fDataOrder, 0);
  EXPECT_EQ(Pairs(NextEvent().GetAdcItems()), (ShortPairs{{69, 2748}}));
}

// ---- Decoding items ------------------------------------------------------------------------

TEST_F(TudaDataTest, FormatDataWorkedExamples)
{
  EXPECT_EQ(FormatWords(kAdcExample), kSimpleItemWords);
  EXPECT_EQ(FormatWords(kTdcExample), kSimpleItemWords);
  EXPECT_EQ(FormatWords(kScalerExample), kWideItemWords);
  EXPECT_EQ(FormatWords(kEpicsExample), kWideItemWords);
  EXPECT_EQ(FormatWords(Join({kBeyondSetsExample, kAdcExample, {0}})), kWideItemWords);

  const TTudaEvent& event = *reader.fEvent;
  EXPECT_EQ(Pairs(event.GetAdcItems()), (ShortPairs{{69, 2748}}));
  EXPECT_EQ(Pairs(event.GetTdcItems()), (ShortPairs{{74, 6844}}));
  EXPECT_EQ(Pairs(event.GetScalerItems()), (LongPairs{{2, 305419896}}));
  EXPECT_EQ(Pairs(event.GetEpicsItems()), (FloatPairs{{3, 65552.0f}}));
}

TEST_F(TudaDataTest, KindOfGroupFollowsTheGroupSets)
{
  EXPECT_EQ(KindOfGroup(0), GroupKind::kUnknown);
  EXPECT_EQ(KindOfGroup(1), GroupKind::kAdc);
  EXPECT_EQ(KindOfGroup(19), GroupKind::kAdc);
  EXPECT_EQ(KindOfGroup(20), GroupKind::kTdc);
  EXPECT_EQ(KindOfGroup(29), GroupKind::kTdc);
  EXPECT_EQ(KindOfGroup(30), GroupKind::kScaler);
  EXPECT_EQ(KindOfGroup(31), GroupKind::kEpics);
  EXPECT_EQ(KindOfGroup(32), GroupKind::kUnknown);
  EXPECT_EQ(KindOfGroup(kLastGroupInSets), GroupKind::kUnknown);
  EXPECT_EQ(KindOfGroup(kLastGroupInSets + 1), GroupKind::kBeyondSets);
  EXPECT_EQ(KindOfGroup(kGroupMask), GroupKind::kBeyondSets);
}

TEST_F(TudaDataTest, DecodedTokenWordsAreTheStepsOfTheWalk)
{
  EXPECT_EQ(DecodedTokenWords(kAdcExample[0]), kSimpleItemWords);
  EXPECT_EQ(DecodedTokenWords(kTdcExample[0]), kSimpleItemWords);
  EXPECT_EQ(DecodedTokenWords(kScalerExample[0]), kWideItemWords);
  EXPECT_EQ(DecodedTokenWords(kEpicsExample[0]), kWideItemWords);
  EXPECT_EQ(DecodedTokenWords(kBeyondSetsExample[0]), kWideItemWords);
  EXPECT_EQ(DecodedTokenWords(tokens::Simple(0, 0, 0)[0]), kSimpleItemWords);
  EXPECT_EQ(DecodedTokenWords(tokens::Group(5, 0, {1, 2, 3})[0]), kGroupItemWords);
  EXPECT_EQ(DecodedTokenWords(tokens::ExtendedGroup(0x0123)[0]), kExtendedGroupItemWords);
  EXPECT_EQ(DecodedTokenWords(kEventStart[0]), kEventStartWords);
}

TEST_F(TudaDataTest, TokenKindOfTellsTheKindFromTheTopTwoBits)
{
  EXPECT_EQ(TokenKindOf(kAdcExample[0]), TokenKind::kSimpleItem);
  EXPECT_EQ(TokenKindOf(tokens::Group(5, 0, {1})[0]), TokenKind::kGroupItem);
  EXPECT_EQ(TokenKindOf(tokens::ExtendedGroup(0x0123)[0]), TokenKind::kExtendedGroupItem);
  EXPECT_EQ(TokenKindOf(kEventStart[0]), TokenKind::kEventStart);
  EXPECT_EQ(TokenKindOf(kEndOfBlockFirstWord), TokenKind::kEventStart);
}

// Where the dump's column of kTokenSteps differs from the decoder's, and where it does not.
TEST_F(TudaDataTest, TheDumpStepsOverAGroupItemsDataAndEverySimpleItemAsTwoWords)
{
  const uint16_t group = tokens::Group(5, 0, {1, 2, 3})[0];
  EXPECT_EQ(DumpedTokenWords(group), kGroupItemWords + 3);
  EXPECT_EQ(DecodedTokenWords(group), kGroupItemWords);
  EXPECT_EQ(DumpedTokenWords(kScalerExample[0]), kSimpleItemWords);
  EXPECT_EQ(DumpedTokenWords(kBeyondSetsExample[0]), kSimpleItemWords);
  EXPECT_EQ(DumpedTokenWords(kAdcExample[0]), kSimpleItemWords);
  EXPECT_EQ(DumpedTokenWords(tokens::ExtendedGroup(0x0123)[0]), kExtendedGroupItemWords);
  EXPECT_EQ(DumpedTokenWords(kEventStart[0]), kEventStartWords);
}

TEST_F(TudaDataTest, StepToMarkerStopsAtTheMarkerOrBeforeATokenCrossingTheEnd)
{
  const Words toMarker = Join({kAdcExample, kScalerExample, kEndOfBlock, kAdcExample});
  std::vector<uint16_t> firstWords;
  const uint16_t* const stop = StepToMarker(toMarker.data(), toMarker.data() + toMarker.size(),
                                            [&](uint16_t word, const uint16_t*) { firstWords.push_back(word); });
  EXPECT_EQ(stop - toMarker.data(), 6);
  EXPECT_EQ(firstWords, (std::vector<uint16_t>{kAdcExample[0], kScalerExample[0]}));
  // The scaler item needs four words where three are left.
  const Words cut = Join({kAdcExample, Words(kScalerExample.begin(), kScalerExample.end() - 1)});
  EXPECT_EQ(StepToMarker(cut.data(), cut.data() + cut.size()) - cut.data(), 2);
}

TEST_F(TudaDataTest, WorkedExamplesDecodedFromABlock)
{
  // The words after the group-65 address look like an ADC item: they must be stepped over.
  TTudaEvent& event = DecodeBetweenEventStarts(Join({kAdcExample,
                                                     kTdcExample,
                                                     kScalerExample,
                                                     kEpicsExample,
                                                     kBeyondSetsExample,
                                                     kAdcExample,
                                                     {0},
                                                     tokens::Adc(33, 7)}));
  EXPECT_EQ(Pairs(event.GetAdcItems()), (ShortPairs{{69, 2748}, {33, 7}}));
  EXPECT_EQ(Pairs(event.GetTdcItems()), (ShortPairs{{74, 6844}}));
  EXPECT_EQ(Pairs(event.GetScalerItems()), (LongPairs{{2, 305419896}}));
  EXPECT_EQ(Pairs(event.GetEpicsItems()), (FloatPairs{{3, 65552.0f}}));
}

TEST_F(TudaDataTest, AdcValueKeepsItsLowTwelveBits)
{
  EXPECT_EQ(Pairs(DecodeBetweenEventStarts(tokens::Simple(1, 0, 0xffff)).GetAdcItems()),
            (ShortPairs{{0, 4095}}));
}

TEST_F(TudaDataTest, AdcChannelAbove31WithinAGroupRunsIntoTheNextGroupsRange)
{
  EXPECT_EQ(Pairs(DecodeBetweenEventStarts(tokens::Simple(2, 40, 5)).GetAdcItems()), (ShortPairs{{72, 5}}));
}

TEST_F(TudaDataTest, ThirtyTwoBitValuesOfAllOnes)
{
  TTudaEvent& event =
      DecodeBetweenEventStarts(Join({tokens::Wide(30, 5, 0xffffffff), tokens::Wide(31, 6, 0xffffffff)}));
  EXPECT_EQ(Pairs(event.GetScalerItems()), (LongPairs{{2, 0xffffffff}}));
  EXPECT_EQ(Pairs(event.GetEpicsItems()), (FloatPairs{{3, 4294967296.0f}}));
}

TEST_F(TudaDataTest, AnExtendedGroupItemIsReportedAndDecodingGoesOnAtTheNextWord)
{
  Console console;
  TTudaEvent& event = DecodeBetweenEventStarts(Join({tokens::ExtendedGroup(0x0123), kAdcExample}), &console);
  EXPECT_EQ(console.out, "DecodeEvents: EGI data is currently unsupported\n");
  EXPECT_EQ(console.err, "");
  EXPECT_EQ(Pairs(event.GetAdcItems()), (ShortPairs{{69, 2748}}));
}

// ---- Error paths: bad items ---------------------------------------------------------------

TEST_F(TudaDataTest, AnUnknownGroupIsReportedWithItsWordOffsetAndHalfTheDataLength)
{
  reader.fCursor = reader.fBuffer + 40;
  reader.fHeader.fDataLength = 2000;
  unsigned words = 0;
  const Console console = CaptureConsole([&] { words = FormatWords({0x0020, 0x1234}); });
  EXPECT_EQ(words, kSimpleItemWords);
  EXPECT_EQ(console.err,
            "FormatData: ERROR - Unknown data group 32, skipping simple data-item, at 40, 1000\n");
  EXPECT_EQ(console.out, "");
  EXPECT_TRUE(reader.fEvent->GetAdcItems().empty());
}

TEST_F(TudaDataTest, AnUnknownGroupInABlockIsSteppedOverByTwoWords)
{
  // Eleven items after the event-start token put the unknown item at word 40.
  OpenBlocks(
      {BuildBlock(Join({kEventStart, AdcItems(11), tokens::Simple(32, 0, 0x0503), kAdcExample, kEventStart}),
                  LengthLayout(2000))});
  Next();
  Console console;
  TTudaEvent& event = NextEvent(&console);
  EXPECT_EQ(console.err,
            "FormatData: ERROR - Unknown data group 32, skipping simple data-item, at 40, 1000\n");
  EXPECT_EQ(event.GetAdcItems().size(), 12u);
  EXPECT_EQ(Pairs(event.GetAdcItems()).back(), (std::pair<unsigned, unsigned short>{69, 2748}));
}

TEST_F(TudaDataTest, GroupZeroIsUnknown)
{
  Console console;
  TTudaEvent& event = DecodeBetweenEventStarts(Join({tokens::Simple(0, 3, 9), kAdcExample}), &console);
  // Eight data words after the header: the data length is 48 bytes, its half 24.
  EXPECT_EQ(console.err, "FormatData: ERROR - Unknown data group 0, skipping simple data-item, at 18, 24\n");
  EXPECT_EQ(Pairs(event.GetAdcItems()), (ShortPairs{{69, 2748}}));
}

TEST_F(TudaDataTest, AGroupItemIsReportedAndItsDataWordsAreDecodedAsTokens)
{
  Console console;
  TTudaEvent& event = DecodeBetweenEventStarts(
      tokens::Group(5, 0x0777, Join({kAdcExample, kTdcExample, tokens::ExtendedGroup(1)})), &console);
  EXPECT_EQ(console.err, "FormatData: ERROR - group data is unused at TUDA\n");
  EXPECT_EQ(console.out, "DecodeEvents: EGI data is currently unsupported\n");
  EXPECT_EQ(Pairs(event.GetAdcItems()), (ShortPairs{{69, 2748}}));
  EXPECT_EQ(Pairs(event.GetTdcItems()), (ShortPairs{{74, 6844}}));

  TGroupItem item;
  unsigned words = 0;
  EXPECT_EQ(CaptureConsole([&] { words = reader.FormatData(&item); }).err,
            "FormatData: ERROR - group data is unused at TUDA\n");
  EXPECT_EQ(words, kGroupItemWords);
}

// ---- Events and block ends -----------------------------------------------------------------

TEST_F(TudaDataTest, TheLastEventOfABlockIsReturnedAtTheNextBlocksEventStart)
{
  OpenBlocks(
      {BuildBlock(Join({kEventStart, tokens::Adc(1, 10), tokens::Adc(2, 20)}), LengthLayout(TEGBlockSize)),
       BuildBlock(kEventStart, BlockLayout())});
  EXPECT_TRUE(NextEvent().GetAdcItems().empty());
  EXPECT_EQ(Pairs(NextEvent().GetAdcItems()), (ShortPairs{{1, 10}, {2, 20}}));
  EXPECT_EQ(reader.fBlocksRead, 2u);
}

TEST_F(TudaDataTest, AnEventStartBeforeTheMarkerUsesUpTheBlock)
{
  OpenBlocks({BuildBlock(kEventStart, BlockLayout()),
              BuildBlock(Join({tokens::Adc(3, 30), kEventStart}), BlockLayout())});
  Next();
  EXPECT_TRUE(reader.fNeedBlock);
  EXPECT_EQ(reader.fBlocksRead, 1u);
  EXPECT_EQ(Pairs(NextEvent().GetAdcItems()), (ShortPairs{{3, 30}}));
}

TEST_F(TudaDataTest, TheDataLengthEndsTheBlockBeforeTheMarker)
{
  // 40 bytes: the header and the first four data words.
  OpenBlocks({BuildBlock(Join({kEventStart, tokens::Adc(0, 1), tokens::Adc(1, 2), tokens::Adc(2, 3)}),
                         LengthLayout(40)),
              BuildBlock(kEventStart, BlockLayout())});
  Next();
  EXPECT_EQ(Pairs(NextEvent().GetAdcItems()), (ShortPairs{{0, 1}}));
}

TEST_F(TudaDataTest, ADataLengthOfZeroEndsEveryBlockAfterItsFirstToken)
{
  BlockLayout zero;
  zero.length = DataLength::kZero;
  OpenBlocks({BuildBlock(Join({kEventStart, tokens::Adc(1, 1)}), zero),
              BuildBlock(Join({tokens::Adc(5, 5), tokens::Adc(6, 6)}), zero), BuildBlock(kEventStart, zero)});
  EXPECT_TRUE(NextEvent().GetAdcItems().empty());
  EXPECT_EQ(Pairs(NextEvent().GetAdcItems()), (ShortPairs{{5, 5}}));
  EXPECT_EQ(reader.fBlocksRead, 3u);
}

TEST_F(TudaDataTest, ADataLengthThatLeavesOutTheHeaderStopsSixteenWordsEarly)
{
  BlockLayout dataOnly;
  dataOnly.length = DataLength::kDataOnly;
  OpenBlocks(
      {BuildBlock(Join({kEventStart, AdcItems(10)}), dataOnly), BuildBlock(kEventStart, BlockLayout())});
  Next();
  // 22 data words give a length of 44 bytes: decoding stops at word 22, after two items.
  EXPECT_EQ(NextEvent().GetAdcItems().size(), 2u);
}

TEST_F(TudaDataTest, ADataLengthThroughTheMarkerDecodesEverything)
{
  BlockLayout throughMarker;
  throughMarker.length = DataLength::kThroughMarker;
  OpenBlocks(
      {BuildBlock(Join({kEventStart, AdcItems(10)}), throughMarker), BuildBlock(kEventStart, BlockLayout())});
  Next();
  EXPECT_EQ(NextEvent().GetAdcItems().size(), 10u);
}

TEST_F(TudaDataTest, EventsRunAcrossBlocksInBothByteOrders)
{
  std::vector<WriterEvent> written(300);
  for (size_t e = 0; e < written.size(); ++e) {
    for (unsigned i = 0; i < 30; ++i) {
      written[e].tokens.push_back(tokens::Adc((e + i) % 600, static_cast<uint16_t>(e * 31 + i)));
      written[e].tokens.push_back(tokens::Tdc((e + 2 * i) % 640, static_cast<uint16_t>(e * 977 + i)));
    }
    if (e % 7 == 0) written[e].tokens.push_back(tokens::Scaler(e % 32, static_cast<uint32_t>(e) << 20));
  }
  const std::string path = folder.Path("run.dat");
  {
    std::ofstream out(path, std::ios::binary);
    MidasFileWriter writer(out, [](uint64_t block) {
      BlockLayout layout;
      layout.swapped = block % 2 == 1;
      return layout;
    });
    for (const WriterEvent& event : written) writer.AddEvent(event);
    writer.EndBlock();
    ASSERT_GE(writer.BlocksWritten(), 3u);
  }
  Open(reader, path);

  EXPECT_TRUE(NextEvent().GetAdcItems().empty());
  for (size_t e = 0; e + 1 < written.size(); ++e) {
    TTudaEvent* event = Next();
    ASSERT_NE(event, nullptr) << "event " << e;
    ASSERT_EQ(event->GetAdcItems().size(), 30u) << "event " << e;
    for (unsigned i = 0; i < 30; ++i) {
      EXPECT_EQ(event->GetAdcItems()[i].GetValue(), (e * 31 + i) & kAdcValueMask);
      EXPECT_EQ(event->GetTdcItems()[i].GetChannel(), (e + 2 * i) % 640);
      EXPECT_EQ(event->GetTdcItems()[i].GetValue(), static_cast<uint16_t>(e * 977 + i));
    }
    EXPECT_EQ(event->GetScalerItems().size(), e % 7 == 0 ? 1u : 0u);
    event->Clear(nullptr);
  }
  // The last event has no event-start token after it: it waits in the event.
  EXPECT_EQ(Next(), nullptr);
  EXPECT_EQ(reader.fEvent->GetAdcItems().size(), 30u);
}

TEST_F(TudaDataTest, AtTheEndOfAFileTheLastItemsWaitForTheNextFile)
{
  const std::string first = WriteBlocks(
      "first.dat",
      {BuildBlock(Join({kEventStart, tokens::Adc(1, 1), kEventStart, tokens::Adc(2, 2), tokens::Adc(3, 3)}),
                  BlockLayout())});
  const std::string second =
      WriteBlocks("second.dat", {BuildBlock(Join({kEventStart, tokens::Adc(9, 9)}), BlockLayout())});
  Open(reader, first);
  NextEvent().Clear(nullptr);
  EXPECT_EQ(Pairs(NextEvent().GetAdcItems()), (ShortPairs{{1, 1}}));
  reader.fEvent->Clear(nullptr);

  EXPECT_EQ(Next(), nullptr);
  EXPECT_EQ(Next(), nullptr);
  EXPECT_EQ(Pairs(reader.fEvent->GetAdcItems()), (ShortPairs{{2, 2}, {3, 3}}));

  Open(reader, second);
  EXPECT_EQ(Pairs(NextEvent().GetAdcItems()), (ShortPairs{{2, 2}, {3, 3}}));
  reader.fEvent->Clear(nullptr);
  EXPECT_EQ(Next(), nullptr);
  EXPECT_EQ(Pairs(reader.fEvent->GetAdcItems()), (ShortPairs{{9, 9}}));
  EXPECT_EQ(reader.fBlocksRead, 2u);
}

TEST_F(TudaDataTest, OpeningAnotherFileMidBlockDecodesTheRestOfTheBlockFirst)
{
  const std::string first = WriteBlocks(
      "first.dat",
      {BuildBlock(Join({kEventStart, tokens::Adc(1, 1), kEventStart, tokens::Adc(2, 2)}), BlockLayout())});
  const std::string second =
      WriteBlocks("second.dat", {BuildBlock(Join({kEventStart, tokens::Adc(9, 9)}), BlockLayout())});
  Open(reader, first);
  NextEvent().Clear(nullptr);
  NextEvent().Clear(nullptr);
  EXPECT_FALSE(reader.fNeedBlock);

  Open(reader, second);
  EXPECT_EQ(Pairs(NextEvent().GetAdcItems()), (ShortPairs{{2, 2}}));
}

// ---- Copying -------------------------------------------------------------------------------

TEST_F(TudaDataTest, ACopyHasNoFileOpenAndItsOwnCopyOfTheEventAndBlock)
{
  OpenBlocks(
      {BuildBlock(Join({kEventStart, tokens::Adc(1, 1), kEventStart, tokens::Adc(2, 2)}), BlockLayout())});
  reader.SetDebug(1);
  Next();
  Next();
  ASSERT_EQ(reader.fEvent->GetAdcItems().size(), 1u);

  TTudaData copy(reader);
  EXPECT_FALSE(copy.fFile.is_open());
  EXPECT_TRUE(copy.fNeedBlock);
  EXPECT_EQ(copy.fCursor, nullptr);
  EXPECT_TRUE(copy.fDebug);
  EXPECT_EQ(copy.fBlocksRead, 1u);
  EXPECT_EQ(copy.fIntsInBlock, kBlockWords);
  EXPECT_EQ(copy.fAdcFirstGroup, 1);
  EXPECT_NE(copy.fBuffer, reader.fBuffer);
  EXPECT_EQ(std::memcmp(copy.fBuffer, reader.fBuffer, TEGBlockSize), 0);
  EXPECT_NE(copy.fEvent, reader.fEvent);
  EXPECT_EQ(Pairs(copy.fEvent->GetAdcItems()), (ShortPairs{{1, 1}}));

  copy.fEvent->Clear(nullptr);
  EXPECT_EQ(reader.fEvent->GetAdcItems().size(), 1u);
  EXPECT_EQ(copy.GetNextEvent(), nullptr);
}

TEST_F(TudaDataTest, AssignmentStartsAFreshBlockAndKeepsTheFileOpen)
{
  TTudaData other;
  Open(other, WriteBlocks("other.dat", {BuildBlock(Join({kEventStart, tokens::Adc(7, 7)}), BlockLayout())}));
  other.GetNextEvent();
  EXPECT_EQ(other.GetNextEvent(), nullptr);

  OpenBlocks({BuildBlock(Join({kEventStart, tokens::Adc(1, 1), tokens::Adc(2, 2)}), BlockLayout()),
              BuildBlock(Join({kEventStart, tokens::Adc(3, 3)}), BlockLayout())});
  Next();
  ASSERT_FALSE(reader.fNeedBlock);

  reader = other;
  EXPECT_EQ(reader.fCursor, nullptr);
  EXPECT_TRUE(reader.fNeedBlock);
  EXPECT_TRUE(reader.fFile.is_open());
  EXPECT_EQ(reader.fBlocksRead, 1u);
  EXPECT_NE(reader.fEvent, other.fEvent);
  EXPECT_EQ(std::memcmp(reader.fBuffer, other.fBuffer, TEGBlockSize), 0);

  // The rest of the old block is gone; the file goes on with its second block.
  EXPECT_EQ(Pairs(NextEvent().GetAdcItems()), (ShortPairs{{7, 7}}));
  EXPECT_EQ(reader.fBlocksRead, 2u);
  EXPECT_EQ(Pairs(other.fEvent->GetAdcItems()), (ShortPairs{{7, 7}}));
}

TEST_F(TudaDataTest, AssigningAReaderToItselfChangesNothing)
{
  OpenBlocks({BuildBlock(Join({kEventStart, tokens::Adc(1, 1), kEventStart}), BlockLayout())});
  Next();
  Next();
  const uint16_t* cursor = reader.fCursor;
  const TTudaEvent* event = reader.fEvent;
  TTudaData& same = reader;
  reader = same;
  EXPECT_EQ(reader.fCursor, cursor);
  EXPECT_EQ(reader.fEvent, event);
  EXPECT_EQ(reader.fEvent->GetAdcItems().size(), 1u);
}

// ---- Error paths: files --------------------------------------------------------------------

TEST_F(TudaDataTest, AMissingFileIsReportedAndClosesTheFileBefore)
{
  Open(reader, WriteBlocks("one.dat", {BuildBlock(kEventStart, BlockLayout())}));
  const std::string missing = folder.Path("missing.dat");
  const Console console = CaptureConsole([&] { reader.OpenDataFile(missing.c_str()); });
  EXPECT_EQ(console.err, "OpenDataFile: ERROR - Could not find file " + missing + "\n");
  EXPECT_EQ(console.out, "");
  EXPECT_FALSE(reader.fFile.is_open());
}

TEST_F(TudaDataTest, ANullNameIsReportedWithoutAName)
{
  Open(reader, WriteBlocks("one.dat", {BuildBlock(kEventStart, BlockLayout())}));
  const Console console = CaptureConsole([&] { reader.OpenDataFile(nullptr); });
  EXPECT_EQ(console.err, "OpenDataFile: ERROR - Could not find file \n");
  EXPECT_EQ(console.out, "");
  EXPECT_FALSE(reader.fFile.is_open());
}

TEST_F(TudaDataTest, ADirectoryIsNoDataFile)
{
  Open(reader, WriteBlocks("one.dat", {BuildBlock(kEventStart, BlockLayout())}));
  const std::string& directory = folder.Path();
  const Console console = CaptureConsole([&] { reader.OpenDataFile(directory.c_str()); });
  EXPECT_EQ(console.err, "OpenDataFile: ERROR - Could not find file " + directory + "\n");
  EXPECT_EQ(console.out, "");
  EXPECT_FALSE(reader.fFile.is_open());
}

TEST_F(TudaDataTest, AnEmptyFileGivesNoBlockAndNoEvent)
{
  Open(reader, WriteBlocks("one.dat", {BuildBlock(kEventStart, BlockLayout())}));
  ASSERT_TRUE(reader.GetDataBlock());
  Open(reader, WriteBlocks("empty.dat", {}));
  EXPECT_FALSE(reader.GetDataBlock());
  EXPECT_EQ(reader.fBlocksRead, 1u);
  EXPECT_EQ(Next(), nullptr);
}

TEST_F(TudaDataTest, WithoutAFileNoBlockIsRead)
{
  EXPECT_FALSE(reader.GetDataBlock());
  EXPECT_EQ(Next(), nullptr);
  EXPECT_EQ(reader.fBlocksRead, 0u);
  EXPECT_TRUE(reader.fNeedBlock);
}

// ---- Error paths: tokens at the end of the buffer ------------------------------------------

// A token whose last word is `lastWord` of a block without a marker: first an event-start
// token, then, for an odd start, an extended group item, then ADC items with values 0 to 4095.
Words DataWithTokenEndingAt(const Words& token, unsigned lastWord)
{
  const unsigned before = lastWord + 1 - static_cast<unsigned>(token.size()) - kHeaderWords - kEventStartWords;
  const Words shift = before % 2 ? tokens::ExtendedGroup(0) : Words();
  return Join({kEventStart, shift, AdcItems(before / 2), token});
}

struct BlockEndCase {
  const char* name;
  Words token;
  unsigned lastWord;
  bool decoded;
  std::string err;
};

const std::string kNoMarkerAtTheEnd =
    "DecodeEvents: ERROR - no end-of-block marker before the end of the block at word 16384, going on with "
    "the next block\n";

std::string TokenPastEnd(unsigned word)
{
  return "DecodeEvents: ERROR - token at word " + std::to_string(word) +
         " runs past the end of the block, skipping the rest of the block\n";
}

// After a token one word short of the end, the fill word 0 is an item of group 0 that does not fit.
const std::vector<BlockEndCase> kBlockEndCases{
    {"ADC item ending at the last word", kAdcExample, 16383, true, kNoMarkerAtTheEnd},
    {"ADC item ending one word before", kAdcExample, 16382, true, TokenPastEnd(16383)},
    {"ADC item across the end", kAdcExample, 16384, false, TokenPastEnd(16383)},
    {"scaler item ending at the last word", kScalerExample, 16383, true, kNoMarkerAtTheEnd},
    {"scaler item ending one word before", kScalerExample, 16382, true, TokenPastEnd(16383)},
    {"scaler item across the end by one word", kScalerExample, 16384, false, TokenPastEnd(16381)},
    {"scaler item across the end by two words", kScalerExample, 16385, false, TokenPastEnd(16382)},
};

TEST_F(TudaDataTest, TokensAtTheLastWordsOfABlockInBothByteOrders)
{
  for (bool swapped : {false, true}) {
    for (const BlockEndCase& test : kBlockEndCases) {
      SCOPED_TRACE(std::string(test.name) + (swapped ? ", swapped" : ""));
      BlockLayout layout = LengthLayout(kBeyondTheBlock);
      layout.endMarker = false;
      layout.swapped = swapped;
      const Words data = DataWithTokenEndingAt(test.token, test.lastWord);
      reader = TTudaData();
      OpenBlocks({BuildBlock(data, layout), BuildBlock(kEventStart, layout)});
      Next();
      Console console;
      TTudaEvent& event = NextEvent(&console);
      const bool shifted = data[kEventStartWords] == tokens::ExtendedGroup(0)[0];
      EXPECT_EQ(console.out, shifted ? "DecodeEvents: EGI data is currently unsupported\n" : "");
      EXPECT_EQ(console.err, test.err);
      const size_t fillerItems = (data.size() - test.token.size() - kEventStartWords) / kSimpleItemWords;
      const bool adc = test.token == kAdcExample;
      EXPECT_EQ(event.GetAdcItems().size(), fillerItems + (adc && test.decoded ? 1 : 0));
      EXPECT_EQ(event.GetScalerItems().size(), !adc && test.decoded ? 1u : 0u);
      EXPECT_EQ(reader.fBlocksRead, 2u);
    }
  }
}

TEST_F(TudaDataTest, ATokenRunningPastTheBlockEndsTheBlock)
{
  // The extended group item shifts the items to odd words, so the last one starts at 16383.
  BlockLayout layout = LengthLayout(kBeyondTheBlock);
  layout.endMarker = false;
  OpenBlocks(
      {BuildBlock(Join({kEventStart, tokens::ExtendedGroup(0), AdcItems(kItemsToWord16382), kAdcExample}),
                  layout),
       BuildBlock(Join({kEventStart, tokens::Adc(5, 55)}), BlockLayout())});
  Next();
  Console console;
  TTudaEvent& event = NextEvent(&console);
  EXPECT_EQ(console.out, "DecodeEvents: EGI data is currently unsupported\n");
  EXPECT_EQ(
      console.err,
      "DecodeEvents: ERROR - token at word 16383 runs past the end of the block, skipping the rest of the "
      "block\n");
  EXPECT_EQ(event.GetAdcItems().size(), kItemsToWord16382);
  EXPECT_EQ(reader.fBlocksRead, 2u);
  event.Clear(nullptr);
  EXPECT_EQ(Next(), nullptr);
  EXPECT_EQ(Pairs(reader.fEvent->GetAdcItems()), (ShortPairs{{5, 55}}));
}

TEST_F(TudaDataTest, AGroupItemInTheLastWordEndsTheBlock)
{
  BlockLayout layout = LengthLayout(kBeyondTheBlock);
  layout.endMarker = false;
  OpenBlocks({BuildBlock(Join({kEventStart, tokens::ExtendedGroup(0), AdcItems(kItemsToWord16382),
                               tokens::Group(5, 0, {})}),
                         layout),
              BuildBlock(kEventStart, BlockLayout())});
  NextEvent();
  Console console;
  TTudaEvent& event = NextEvent(&console);
  EXPECT_EQ(
      console.err,
      "DecodeEvents: ERROR - token at word 16383 runs past the end of the block, skipping the rest of the "
      "block\n");
  EXPECT_EQ(event.GetAdcItems().size(), kItemsToWord16382);
}

TEST_F(TudaDataTest, AnEventStartInTheLastWordIsNoEvent)
{
  BlockLayout layout = LengthLayout(kBeyondTheBlock);
  layout.endMarker = false;
  OpenBlocks(
      {BuildBlock(Join({kEventStart, tokens::ExtendedGroup(0), AdcItems(kItemsToWord16382), kEventStart}),
                  layout),
       BuildBlock(Join({tokens::Adc(5, 55), kEventStart}), BlockLayout())});
  NextEvent();
  Console console;
  TTudaEvent& event = NextEvent(&console);
  EXPECT_EQ(
      console.err,
      "DecodeEvents: ERROR - token at word 16383 runs past the end of the block, skipping the rest of the "
      "block\n");
  EXPECT_EQ(event.GetAdcItems().size(), kItemsToWord16382 + 1);
  EXPECT_EQ(Pairs(event.GetAdcItems()).back(), (std::pair<unsigned, unsigned short>{5, 55}));
}

TEST_F(TudaDataTest, AFourWordItemRunningPastTheBlockIsNotDecoded)
{
  BlockLayout layout = LengthLayout(kBeyondTheBlock);
  layout.endMarker = false;
  OpenBlocks({BuildBlock(Join({kEventStart, AdcItems(kItemsToWord16382), kScalerExample}), layout),
              BuildBlock(kEventStart, BlockLayout())});
  Next();
  Console console;
  TTudaEvent& event = NextEvent(&console);
  EXPECT_EQ(
      console.err,
      "DecodeEvents: ERROR - token at word 16382 runs past the end of the block, skipping the rest of the "
      "block\n");
  EXPECT_EQ(event.GetAdcItems().size(), kItemsToWord16382);
  EXPECT_TRUE(event.GetScalerItems().empty());
}

TEST_F(TudaDataTest, ABlockWithoutMarkerEndsAtTheEndOfTheBuffer)
{
  BlockLayout layout = LengthLayout(kBeyondTheBlock);
  layout.endMarker = false;
  OpenBlocks({BuildBlock(Join({kEventStart, AdcItems(kItemsToWord16382 + 1)}), layout),
              BuildBlock(kEventStart, BlockLayout())});
  Next();
  Console console;
  TTudaEvent& event = NextEvent(&console);
  EXPECT_EQ(
      console.err,
      "DecodeEvents: ERROR - no end-of-block marker before the end of the block at word 16384, going on "
      "with the next block\n");
  EXPECT_EQ(event.GetAdcItems().size(), kItemsToWord16382 + 1);
}

TEST_F(TudaDataTest, ADataLengthReachingTheBufferEndNeedsNoMarker)
{
  BlockLayout layout = LengthLayout(TEGBlockSize);
  layout.endMarker = false;
  OpenBlocks({BuildBlock(Join({kEventStart, AdcItems(kItemsToWord16382 + 1)}), layout),
              BuildBlock(kEventStart, BlockLayout())});
  Next();
  EXPECT_EQ(NextEvent().GetAdcItems().size(), kItemsToWord16382 + 1);
}

}  // namespace
