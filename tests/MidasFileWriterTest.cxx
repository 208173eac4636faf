#include "writer/MidasFileWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/TestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Bytes [offset, offset + count) of a block or file.
Bytes Slice(const Bytes& bytes, size_t offset, size_t count)
{
  return Bytes(bytes.begin() + offset, bytes.begin() + offset + count);
}

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The 16-bit word at `index`, low byte first, as a little-endian reader takes it.
uint16_t WordAt(const Bytes& bytes, size_t index)
{
  return static_cast<uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

class MidasFileWriterTest : public testing::Test {
 protected:
  static BlockLayout HeaderLayout(bool swapped)
  {
    BlockLayout layout;
    layout.id = "RUN1";
    layout.serial = 0x12345678;
    layout.aux1 = 0x1122;
    layout.aux2 = 0x3344;
    layout.aux3 = 0x5566;
    layout.swapped = swapped;
    return layout;
  }

  static Bytes LengthField(DataLength length, bool swapped, uint64_t explicitLength = 0, uint32_t highBytes = 0)
  {
    BlockLayout layout;
    layout.swapped = swapped;
    layout.length = length;
    layout.explicitLength = explicitLength;
    layout.lengthHighBytes = highBytes;
    return Slice(BuildBlock(tokens::Adc(0, 1), layout), kDataLengthByte, 8);
  }

  ScratchFolder folder;
};

TEST_F(MidasFileWriterTest, TokensMatchTheDecodedChannelsAndValues)
{
  EXPECT_EQ(tokens::Adc(69, 0x1abc), (Words{0x0503, 0x1abc}));
  EXPECT_EQ(tokens::Tdc(74, 0x1abc), (Words{0x0a15, 0x1abc}));
  EXPECT_EQ(tokens::Scaler(2, 0x12345678), (Words{0x041e, 0x5678, 0x0000, 0x1234}));
  EXPECT_EQ(tokens::Epics(3, 65552), (Words{0x061f, 0x0010, 0x0000, 0x0001}));
  EXPECT_EQ(tokens::Wide(65, 1, 0xaabbccdd, 0x7777), (Words{0x0141, 0xccdd, 0x7777, 0xaabb}));
}

TEST_F(MidasFileWriterTest, TokenKindsSitInTheTopTwoBits)
{
  EXPECT_EQ(tokens::EventStart(12), (Words{0xc000, 12}));
  EXPECT_EQ(tokens::Group(7, 0x0abc, {1, 2, 3}), (Words{0x4307, 0x0abc, 1, 2, 3}));
  EXPECT_EQ(tokens::ExtendedGroup(0x3fff), (Words{0xbfff}));
  EXPECT_EQ(tokens::ExtendedGroup(0xffff), (Words{0xbfff}));
  EXPECT_EQ(tokens::Simple(0x1ff, 0x7f, 5), (Words{0x3fff, 5}));
}

TEST_F(MidasFileWriterTest, BlockInReaderByteOrder)
{
  const Bytes block = BuildBlock(tokens::Adc(69, 0x1abc), HeaderLayout(false));

  const Bytes header{'R',  'U',  'N',  '1',  0,    0,    0,    0,     // identifier
                     0x34, 0x12, 0x78, 0x56,                          // serial, high word first
                     0x22, 0x11, 0x44, 0x33, 0x66, 0x55,              // aux words
                     0x01, 0x00,                                      // byte-order word
                     36,   0,    0,    0,    0,    0,    0,    0,     // data length through the data
                     0,    0,    0,    0};
  const Bytes dataAndMarker{0x03, 0x05, 0xbc, 0x1a, 0xff, 0xff, 0x00, 0x00};
  ASSERT_EQ(block.size(), TEGBlockSize);
  EXPECT_EQ(Slice(block, 0, 32), header);
  EXPECT_EQ(Slice(block, 32, 8), dataAndMarker);
  EXPECT_EQ(Slice(block, 40, TEGBlockSize - 40), Bytes(TEGBlockSize - 40, 0));
}

TEST_F(MidasFileWriterTest, SwappedBlockHasEveryWordBigEndian)
{
  const Bytes block = BuildBlock(tokens::Adc(69, 0x1abc), HeaderLayout(true));

  const Bytes header{'R',  'U',  'N',  '1',  0,    0,    0,    0,     // identifier
                     0x12, 0x34, 0x56, 0x78,                          // serial
                     0x11, 0x22, 0x33, 0x44, 0x55, 0x66,              // aux words
                     0x00, 0x01,                                      // byte-order word
                     0,    0,    0,    36,   0,    0,    0,    0,     // 32-bit big-endian length
                     0,    0,    0,    0};
  const Bytes dataAndMarker{0x05, 0x03, 0x1a, 0xbc, 0xff, 0xff, 0x00, 0x00};
  EXPECT_EQ(Slice(block, 0, 32), header);
  EXPECT_EQ(WordAt(block, kDataOrderWord), kSwappedDataOrder);
  EXPECT_EQ(Slice(block, 32, 8), dataAndMarker);
}

TEST_F(MidasFileWriterTest, DataLengthVariants)
{
  EXPECT_EQ(LengthField(DataLength::kThroughData, false), (Bytes{36, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(LengthField(DataLength::kThroughMarker, false), (Bytes{40, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(LengthField(DataLength::kDataOnly, false), (Bytes{4, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(LengthField(DataLength::kZero, false), (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(LengthField(DataLength::kDataOnly, true), (Bytes{0, 0, 0, 4, 0, 0, 0, 0}));
}

TEST_F(MidasFileWriterTest, ExplicitLengthFillsEightBytesOnlyInReaderByteOrder)
{
  EXPECT_EQ(LengthField(DataLength::kExplicit, false, 0x0000000900010002ULL),
            (Bytes{0x02, 0x00, 0x01, 0x00, 0x09, 0x00, 0x00, 0x00}));
  EXPECT_EQ(LengthField(DataLength::kExplicit, true, 0x0000000900010002ULL),
            (Bytes{0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(MidasFileWriterTest, LengthHighBytesInEitherByteOrder)
{
  EXPECT_EQ(LengthField(DataLength::kZero, false, 0, 0x01020304), (Bytes{0, 0, 0, 0, 0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(LengthField(DataLength::kZero, true, 0, 0x01020304), (Bytes{0, 0, 0, 0, 0x01, 0x02, 0x03, 0x04}));
}

TEST_F(MidasFileWriterTest, BlockWithoutMarkerIsFilled)
{
  BlockLayout layout;
  layout.endMarker = false;
  layout.fill = 0xa55a;
  const Bytes block = BuildBlock(tokens::Adc(0, 1), layout);

  EXPECT_EQ(Slice(block, 32, 8), (Bytes{0x01, 0x00, 0x01, 0x00, 0x5a, 0xa5, 0x5a, 0xa5}));
  EXPECT_EQ(WordAt(block, kBlockWords - 1), 0xa55a);
}

TEST_F(MidasFileWriterTest, IdentifierKeepsEightCharacters)
{
  BlockLayout layout;
  layout.id = "EBYEDATA+";
  EXPECT_EQ(Slice(BuildBlock({}, layout), 0, kIdBytes), ToBytes("EBYEDATA"));
}

TEST_F(MidasFileWriterTest, EventStartCountsTheWholeEvent)
{
  std::ostringstream out;
  MidasFileWriter writer(out);
  writer.AddEvent({{tokens::Adc(1, 2), tokens::Scaler(0, 3)}});
  writer.EndBlock();
  const Bytes file = ToBytes(out.str());

  const Bytes eventStart{0x00, 0xc0, 16, 0};  // 2 + 2 + 4 words
  EXPECT_EQ(Slice(file, 32, 4), eventStart);
  EXPECT_EQ(WordAt(file, kHeaderWords + 8), kEndOfBlockFirstWord);
  EXPECT_EQ(writer.BlocksWritten(), 1u);
}

TEST_F(MidasFileWriterTest, TokenThatDoesNotFitStartsTheNextBlock)
{
  std::ostringstream out;
  MidasFileWriter writer(out);
  const uint32_t tokensInFirstBlock = kDataWordsPerBlock / kWideItemWords;
  for (uint32_t i = 0; i <= tokensInFirstBlock; ++i) writer.AddToken(tokens::Scaler(i % 32, i));
  writer.EndBlock();
  const Bytes file = ToBytes(out.str());

  ASSERT_EQ(file.size(), 2 * TEGBlockSize);
  const uint32_t firstDataEnd = kHeaderWords + tokensInFirstBlock * kWideItemWords;
  EXPECT_EQ(WordAt(file, kDataLengthByte / kBytesPerWord), firstDataEnd * kBytesPerWord);
  EXPECT_EQ(WordAt(file, firstDataEnd), kEndOfBlockFirstWord);
  EXPECT_EQ(WordAt(file, firstDataEnd + 1), kEndOfBlockSecondWord);
  const Bytes second(file.begin() + TEGBlockSize, file.end());
  const Words lastToken = tokens::Scaler(tokensInFirstBlock % 32, tokensInFirstBlock);
  EXPECT_EQ((Words{WordAt(second, 16), WordAt(second, 17), WordAt(second, 18), WordAt(second, 19)}), lastToken);
}

TEST_F(MidasFileWriterTest, EventRunsOnWithoutAnotherEventStart)
{
  std::ostringstream out;
  MidasFileWriter writer(out);
  WriterEvent big;
  big.tokens.assign(kDataWordsPerBlock / kSimpleItemWords, tokens::Adc(5, 6));
  writer.AddEvent(big);
  writer.EndBlock();
  const Bytes file = ToBytes(out.str());

  ASSERT_EQ(file.size(), 2 * TEGBlockSize);
  EXPECT_EQ(WordAt(file, kHeaderWords), tokens::EventStart(0)[0]);
  const Bytes second(file.begin() + TEGBlockSize, file.end());
  EXPECT_EQ(WordAt(second, kHeaderWords), tokens::Adc(5, 6)[0]);
}

TEST_F(MidasFileWriterTest, LayoutChosenPerBlock)
{
  std::ostringstream out;
  MidasFileWriter writer(out, [](uint64_t index) {
    BlockLayout layout;
    layout.serial = static_cast<uint32_t>(index);
    layout.swapped = index == 1;
    return layout;
  });
  writer.AddToken(tokens::Adc(0, 1));
  writer.EndBlock();
  writer.AddToken(tokens::Adc(0, 1));
  writer.EndBlock();
  const Bytes file = ToBytes(out.str());

  EXPECT_EQ(WordAt(file, kDataOrderWord), kNativeDataOrder);
  EXPECT_EQ(WordAt(file, kBlockWords + kDataOrderWord), kSwappedDataOrder);
  EXPECT_EQ(Slice(file, TEGBlockSize + 8, 4), (Bytes{0, 0, 0, 1}));
}

TEST_F(MidasFileWriterTest, TrailingPieceFollowsTheLastBlock)
{
  std::ostringstream out;
  MidasFileWriter writer(out);
  writer.AddToken(tokens::Adc(0, 1));
  writer.AddRawBytes({1, 2, 3});
  writer.EndBlock();
  const Bytes file = ToBytes(out.str());

  ASSERT_EQ(file.size(), TEGBlockSize + 3);
  EXPECT_EQ(Slice(file, TEGBlockSize, 3), (Bytes{1, 2, 3}));
}

TEST_F(MidasFileWriterTest, EmptyBlockIsNotWritten)
{
  std::ostringstream out;
  MidasFileWriter writer(out);
  writer.EndBlock();
  EXPECT_TRUE(out.str().empty());
  EXPECT_EQ(writer.BlocksWritten(), 0u);
}

TEST_F(MidasFileWriterTest, WriteFileBytesWritesTheBytes)
{
  const std::string path = folder.Path("run.dat");
  ASSERT_TRUE(WriteFileBytes(path, {9, 8, 7}));
  std::ifstream file(path, std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(file), {}), (Bytes{9, 8, 7}));
}

// ---- Error paths ------------------------------------------------------------------------------

TEST_F(MidasFileWriterTest, DataBeyondTheBlockIsDroppedWithoutMarker)
{
  const Words data(kBlockWords, 0x0101);
  const Bytes block = BuildBlock(data, BlockLayout());
  ASSERT_EQ(block.size(), TEGBlockSize);
  EXPECT_EQ(WordAt(block, kBlockWords - 1), 0x0101);
  EXPECT_EQ(Slice(block, kDataLengthByte, 4), (Bytes{0x00, 0x80, 0x00, 0x00}));
}

TEST_F(MidasFileWriterTest, WriteFileBytesReportsAFolderThatDoesNotExist)
{
  EXPECT_FALSE(WriteFileBytes(folder.Path("missing/run.dat"), {1}));
}

}  // namespace
