// The reader's reporter: every cause of dropped words with its count and place, the account of
// every block, the trailing piece and the event held at the end of the data.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "reader/TTudaData.h"
#include "tests/BlockSupport.h"
#include "tests/TestSupport.h"
#include "writer/MidasFileWriter.h"

// Found by argument-dependent look-up, so beside the record, outside the test's namespace.
bool operator==(const TTudaDrop& a, const TTudaDrop& b)
{
  return a.cause == b.cause && a.word == b.word && a.words == b.words && a.group == b.group;
}

void PrintTo(const TTudaDrop& drop, std::ostream* out)
{
  *out << "{cause " << static_cast<int>(drop.cause) << ", word " << drop.word << ", words " << drop.words
       << ", group " << drop.group << "}";
}

namespace {

// A data length whose half lies far beyond the block: only the marker or the buffer end stop.
constexpr uint64_t kBeyondTheBlock = 0xffffffff;

// Keeps everything it is told, and writes nothing.
class RecordingReporter : public TTudaReporter {
 public:
  void Dropped(const TTudaDrop& drop, const TTudaData&) override { drops.push_back(drop); }
  void BlockEnded(const TTudaBlockAccount& account) override { accounts.push_back(account); }
  void TrailingPiece(uint64_t bytes) override { trailingBytes.push_back(bytes); }
  void EndOfData(const TTudaEvent& held) override { heldAtEnd.push_back(held); }
  bool CountsTokens() const override { return true; }

  std::vector<TTudaDrop> drops;
  std::vector<TTudaBlockAccount> accounts;
  std::vector<uint64_t> trailingBytes;
  std::vector<TTudaEvent> heldAtEnd;
};

BlockLayout NoMarkerLayout()
{
  BlockLayout layout = LengthLayout(kBeyondTheBlock);
  layout.endMarker = false;
  return layout;
}

BlockLayout Swapped(BlockLayout layout)
{
  layout.swapped = true;
  return layout;
}

uint64_t WordsAccountedFor(const TTudaBlockAccount& account)
{
  uint64_t words = account.headerWords + account.decodedWords + account.markerWords + account.fillWords;
  for (uint32_t dropped : account.droppedWords) words += dropped;
  return words;
}

struct DropCase {
  const char* name;
  Words data;
  BlockLayout layout;
  TTudaDrop drop;
  TTudaBlockEnd end;
};

// Every event-start token is at word 16; the token under test at word 18.
const std::vector<DropCase> kDropCases{
    {"unknown group", Join({kEventStart, tokens::Simple(32, 1, 5), kEventStart}), BlockLayout(),
     {TTudaCause::kUnknownGroup, 18, 2, 32}, TTudaBlockEnd::kMarker},
    {"group item", Join({kEventStart, tokens::Group(5, 0, {}), kEventStart}), BlockLayout(),
     {TTudaCause::kGroupItem, 18, 2, 0}, TTudaBlockEnd::kMarker},
    {"extended group item", Join({kEventStart, tokens::ExtendedGroup(1), kEventStart}), BlockLayout(),
     {TTudaCause::kExtendedGroupItem, 18, 1, 0}, TTudaBlockEnd::kMarker},
    {"group above the sets", Join({kEventStart, tokens::Wide(65, 0, 7), kEventStart}), BlockLayout(),
     {TTudaCause::kBeyondSets, 18, 4, 65}, TTudaBlockEnd::kMarker},
    {"token past the block end", Join({kEventStart, AdcItems(kItemsToWord16382), tokens::Scaler(0, 1)}),
     NoMarkerLayout(), {TTudaCause::kTokenPastBlockEnd, 16382, 2, 0}, TTudaBlockEnd::kTokenPastBlockEnd},
    {"no marker", Join({kEventStart, AdcItems(kItemsToWord16382 + 1)}), NoMarkerLayout(),
     {TTudaCause::kNoEndOfBlockMarker, 16384, 0, 0}, TTudaBlockEnd::kBlockEnd},
    // 40 bytes: the header and two words; the marker follows six words on.
    {"words after the data length", Join({kEventStart, AdcItems(3)}), LengthLayout(36),
     {TTudaCause::kAfterDataLength, 18, 6, 0}, TTudaBlockEnd::kDataLength},
    // Stepped over as tokens, as the decoder would: four zero words are two items of group 0.
    {"zero words after the data length", Join({kEventStart, Words(4, 0)}), LengthLayout(36),
     {TTudaCause::kPaddingAfterDataLength, 18, 4, 0}, TTudaBlockEnd::kDataLength},
};

class TudaReporterTest : public ::testing::Test {
 protected:
  void OpenFile(const Bytes& bytes)
  {
    const std::string path = folder.Path("run.dat");
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    reader.SetReporter(&reporter);
    CaptureConsole([&] { reader.OpenDataFile(path.c_str()); });
  }

  // Decodes to the end of the data; what the reader wrote goes to the returned console.
  Console DecodeAll()
  {
    return CaptureConsole([&] {
      while (TTudaEvent* event = reader.GetNextEvent()) event->Clear(nullptr);
    });
  }

  ScratchFolder folder;
  RecordingReporter reporter;
  TTudaData reader;
};

TEST_F(TudaReporterTest, EachCauseReachesTheReporterWithItsWordsAndPlace)
{
  for (bool swapped : {false, true}) {
    for (const DropCase& test : kDropCases) {
      SCOPED_TRACE(std::string(test.name) + (swapped ? ", swapped" : ""));
      reporter = RecordingReporter();
      reader = TTudaData();
      const BlockLayout layout = swapped ? Swapped(test.layout) : test.layout;
      OpenFile(BuildBlock(test.data, layout));
      const Console console = DecodeAll();
      EXPECT_EQ(console.out, "");
      EXPECT_EQ(console.err, "");
      EXPECT_EQ(reporter.drops, std::vector<TTudaDrop>{test.drop});
      ASSERT_EQ(reporter.accounts.size(), 1u);
      const TTudaBlockAccount& account = reporter.accounts[0];
      EXPECT_EQ(account.end, test.end);
      EXPECT_EQ(account.swapped, swapped);
      EXPECT_EQ(account.droppedWords[static_cast<size_t>(test.drop.cause)], test.drop.words);
      EXPECT_EQ(WordsAccountedFor(account), kBlockWords);
    }
  }
}

TEST_F(TudaReporterTest, AWellFormedBlockIsHeaderTokensMarkerAndFill)
{
  OpenFile(BuildBlock(Join({kEventStart, kAdcExample, kTdcExample, kEventStart}), BlockLayout()));
  DecodeAll();
  EXPECT_TRUE(reporter.drops.empty());
  ASSERT_EQ(reporter.accounts.size(), 1u);
  const TTudaBlockAccount& account = reporter.accounts[0];
  EXPECT_EQ(account.block, 1u);
  EXPECT_EQ(account.end, TTudaBlockEnd::kMarker);
  EXPECT_TRUE(account.markerFound);
  EXPECT_EQ(account.headerWords, kHeaderWords);
  EXPECT_EQ(account.decodedWords, 8u);
  EXPECT_EQ(account.markerWords, kEndOfBlockWords);
  EXPECT_EQ(account.fillWords, kBlockWords - kHeaderWords - 8 - kEndOfBlockWords);
  EXPECT_EQ(account.events, 2u);
  EXPECT_EQ(account.simpleItemsPerGroup[3], 1u);
  EXPECT_EQ(account.simpleItemsPerGroup[21], 1u);
}

TEST_F(TudaReporterTest, TheAccountSumsItsSimpleItemsByGroupKind)
{
  OpenFile(BuildBlock(Join({kEventStart, tokens::Simple(32, 1, 5), tokens::Simple(0, 0, 0), kAdcExample,
                            tokens::Group(5, 0, {}), kEventStart}),
                      BlockLayout()));
  DecodeAll();
  ASSERT_EQ(reporter.accounts.size(), 1u);
  const TTudaBlockAccount& account = reporter.accounts[0];
  EXPECT_EQ(account.SimpleItems(GroupKind::kUnknown), 2u);
  EXPECT_EQ(account.SimpleItems(GroupKind::kAdc), 1u);
  EXPECT_EQ(account.SimpleItems(GroupKind::kTdc), 0u);
  EXPECT_EQ(account.groupItems, 1u);
}

TEST_F(TudaReporterTest, TheTrailingPieceAndTheHeldItemsAreToldAtTheEnd)
{
  OpenFile(Concatenated({BuildBlock(Join({kEventStart, kAdcExample, kTdcExample, tokens::Scaler(1, 9)}),
                                    BlockLayout())},
                        Bytes(7, 0x55)));
  DecodeAll();
  EXPECT_EQ(reporter.trailingBytes, std::vector<uint64_t>{7});
  ASSERT_EQ(reporter.heldAtEnd.size(), 1u);
  EXPECT_EQ(reporter.heldAtEnd[0].GetAdcItems().size(), 1u);
  EXPECT_EQ(reporter.heldAtEnd[0].GetTdcItems().size(), 1u);
  EXPECT_EQ(reporter.heldAtEnd[0].GetScalerItems().size(), 1u);
  EXPECT_TRUE(reporter.heldAtEnd[0].GetEpicsItems().empty());

  // Another call at the end tells the end again, but no second trailing piece.
  CaptureConsole([&] { EXPECT_EQ(reader.GetNextEvent(), nullptr); });
  EXPECT_EQ(reporter.trailingBytes.size(), 1u);
  EXPECT_EQ(reporter.heldAtEnd.size(), 2u);
}

TEST_F(TudaReporterTest, TheLedgerAddsUpToTheFileSizeWithEveryKindOfDamage)
{
  std::vector<Bytes> blocks;
  for (bool swapped : {false, true}) {
    for (const DropCase& test : kDropCases) {
      blocks.push_back(BuildBlock(test.data, swapped ? Swapped(test.layout) : test.layout));
    }
  }
  const Bytes file = Concatenated(blocks, Bytes(TEGBlockSize - 1, 0));
  OpenFile(file);
  DecodeAll();
  ASSERT_EQ(reporter.accounts.size(), blocks.size());
  uint64_t bytes = 0;
  uint64_t droppedWords[kTudaCauses] = {};
  for (const TTudaBlockAccount& account : reporter.accounts) {
    bytes += WordsAccountedFor(account) * kBytesPerWord;
    for (size_t cause = 0; cause < kTudaCauses; ++cause) droppedWords[cause] += account.droppedWords[cause];
  }
  for (uint64_t piece : reporter.trailingBytes) bytes += piece;
  EXPECT_EQ(bytes, file.size());
  // The accounts sum what Dropped told, cause by cause.
  uint64_t toldWords[kTudaCauses] = {};
  for (const TTudaDrop& drop : reporter.drops) toldWords[static_cast<size_t>(drop.cause)] += drop.words;
  for (size_t cause = 0; cause < kTudaCauses; ++cause) EXPECT_EQ(droppedWords[cause], toldWords[cause]);
}

// ---- Without a reporter --------------------------------------------------------------------

TEST_F(TudaReporterTest, WithoutAReporterTheReaderWritesItsOwnLinesAndBaseDroppedDoesTheSame)
{
  const Bytes block = BuildBlock(
      Join({kEventStart, tokens::Simple(0, 3, 9), tokens::Group(5, 0, {}), tokens::ExtendedGroup(1), kEventStart}),
      BlockLayout());
  const std::string expectedErr =
      "FormatData: ERROR - Unknown data group 0, skipping simple data-item, at 18, 25\n"
      "FormatData: ERROR - group data is unused at TUDA\n";
  const std::string expectedOut = "DecodeEvents: EGI data is currently unsupported\n";

  OpenFile(block);
  reader.SetReporter(nullptr);
  Console console = DecodeAll();
  EXPECT_EQ(console.err, expectedErr);
  EXPECT_EQ(console.out, expectedOut);

  TTudaReporter plain;
  reader = TTudaData();
  OpenFile(block);
  reader.SetReporter(&plain);
  console = DecodeAll();
  EXPECT_EQ(console.err, expectedErr);
  EXPECT_EQ(console.out, expectedOut);
}

// A reporter with streams of its own takes every line of its reader, the opening line too, and
// leaves the console alone: so a reader on another thread can gather its lines.
TEST_F(TudaReporterTest, AReporterWithStreamsOfItsOwnTakesEveryLine)
{
  const std::string path = folder.Path("run.dat");
  ASSERT_TRUE(WriteFileBytes(path, BuildBlock(Join({kEventStart, tokens::Group(5, 0, {}), tokens::ExtendedGroup(1)}),
                                              BlockLayout())));
  std::ostringstream out;
  std::ostringstream err;
  TTudaReporter gathering(out, err);
  const Console console = CaptureConsole([&] {
    reader.SetReporter(&gathering);
    reader.OpenDataFile(path.c_str());
    while (TTudaEvent* event = reader.GetNextEvent()) event->Clear(nullptr);
    reader.OpenDataFile(folder.Path("missing.dat").c_str());
  });
  EXPECT_EQ(console.out, "");
  EXPECT_EQ(console.err, "");
  EXPECT_EQ(out.str(), "OpenDataFile: Opened data file " + path + "\nDecodeEvents: EGI data is currently unsupported\n");
  EXPECT_EQ(err.str(), "FormatData: ERROR - group data is unused at TUDA\nOpenDataFile: ERROR - Could not find file " +
                           folder.Path("missing.dat") + "\n");
}

}  // namespace
