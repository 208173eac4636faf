// The file check: verdicts and evidence on a good file, 16384-byte blocks, data lengths that
// leave out the header, a compressed file and a file that is no data at all; the first-block look.
#include "filecheck/FileCheck.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/TestSupport.h"
#include "writer/CompressedOutput.h"
#include "writer/MidasFileWriter.h"

namespace {

constexpr unsigned kEvents = 4000;  // three blocks

WriterEvent SomeEvent(unsigned i)
{
  return {{tokens::Adc(i % 32, 7), tokens::Tdc(i % 64, 9), tokens::Adc(1, 2), tokens::Tdc(2, 3)}};
}

std::string RunBytes(const BlockLayout& layout)
{
  std::ostringstream out;
  MidasFileWriter writer(out, layout);
  for (unsigned i = 0; i < kEvents; ++i) writer.AddEvent(SomeEvent(i));
  writer.EndBlock();
  return out.str();
}

class FileCheckTest : public testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes)
  {
    std::ofstream(folder.Path(name), std::ios::binary) << bytes;
    return folder.Path(name);
  }

  FileEvidence Check(const std::string& path, uint64_t maxBlocks = kCheckedBlocks)
  {
    FileEvidence evidence;
    std::string error;
    EXPECT_TRUE(CheckFile(path, maxBlocks, evidence, error)) << error;
    return evidence;
  }

  ScratchFolder folder;
};

TEST_F(FileCheckTest, AGoodFileLooksRight)
{
  BlockLayout swapped;
  swapped.swapped = true;
  const FileEvidence evidence = Check(Write("good.dat", RunBytes(BlockLayout()) + RunBytes(swapped) + "12345"));
  EXPECT_TRUE(LooksRight(evidence));
  EXPECT_EQ(Verdict(evidence), "looks like a data file this reader decodes as written");
  EXPECT_EQ(EvidenceLines(evidence),
            (std::vector<std::string>{
                "identifier: \"EBYEDATA\" starts 6 of 6 blocks; it repeats every 32768 bytes, as this reader expects",
                "byte-order words: 0x0001 (this machine's order) in 3 blocks; 0x0100 (the other order, swapped as "
                "read) in 3 blocks",
                "data lengths: counting the 32-byte header in 6 blocks, not counting it in 0, neither in 0; "
                "no end-of-block marker in 0; 0 blocks end before their last token",
                "tokens: 4 events run across blocks, 0 group items, 0 extended group items, 0 items of unknown groups",
                "read: all 6 blocks; trailing piece of 5 bytes"}));
}

TEST_F(FileCheckTest, OnlyTheFirstBlocksAreReadUnlessAllAreAskedFor)
{
  const std::string path = Write("good.dat", RunBytes(BlockLayout()));
  EXPECT_EQ(EvidenceLines(Check(path, 2)).back(), "read: the first 2 blocks, not to the end");
  EXPECT_EQ(EvidenceLines(Check(path, 0)).back(), "read: all 3 blocks; trailing piece of 0 bytes");
}

TEST_F(FileCheckTest, BlocksOf16384BytesLookWrong)
{
  std::string bytes;
  for (unsigned i = 0; i < 4; ++i) {
    const std::vector<uint8_t> block = BuildBlock(tokens::EventStart(4), BlockLayout());
    bytes.append(block.begin(), block.begin() + TEGBlockSize / 2);
  }
  const FileEvidence evidence = Check(Write("small.dat", bytes));
  EXPECT_FALSE(LooksRight(evidence));
  EXPECT_EQ(evidence.idSpacing, 16384u);
  EXPECT_EQ(Verdict(evidence),
            "looks wrong: its blocks are 16384 bytes long, where this reader reads 32768-byte blocks, so it would "
            "misframe them");
}

TEST_F(FileCheckTest, DataLengthsWithoutTheHeaderLookWrong)
{
  BlockLayout dataOnly;
  dataOnly.length = DataLength::kDataOnly;
  const FileEvidence evidence = Check(Write("data-only.dat", RunBytes(dataOnly)));
  EXPECT_FALSE(LooksRight(evidence));
  EXPECT_EQ(Verdict(evidence),
            "looks wrong: its data lengths leave out the 32-byte header, so this reader loses the last 16 words of "
            "every block");
  EXPECT_EQ(evidence.blocksCutByLength, 3u);
}

TEST_F(FileCheckTest, ACompressedFileIsCheckedAsItsData)
{
  if (*CompiledCodecs() == '\0') GTEST_SKIP() << "built without compressed files";
  const std::string path = folder.Path("good.dat.zst");
  CompressedOutput out(path, TCodec::kZstd);
  out << RunBytes(BlockLayout());
  ASSERT_TRUE(out.Close());
  const FileEvidence evidence = Check(path);
  EXPECT_TRUE(LooksRight(evidence));
  EXPECT_EQ(EvidenceLines(evidence).front(), "codec: zstd");
  EXPECT_EQ(evidence.blocks, 3u);
}

TEST_F(FileCheckTest, AFileOfNoDataLooksWrongAndDoesNotStartWithADataBlock)
{
  const std::string path = Write("archive.tar", "ustar" + std::string(TEGBlockSize * 2, 'x'));
  const FileEvidence evidence = Check(path);
  EXPECT_EQ(Verdict(evidence), "looks wrong: it does not start with the data block identifier EBYEDATA");
  EXPECT_EQ(EvidenceLines(evidence)[0], "identifier: \"EBYEDATA\" starts 0 of 2 blocks; the file starts 75 73 74 61 72 78 78 78");

  BlockStart start;
  std::string error;
  ASSERT_TRUE(CheckFileStart(path, start, error));
  EXPECT_EQ(start.kind, BlockStart::kNoDataBlock);
  EXPECT_EQ(NoDataBlockText("run.tar", start), "run.tar does not start with a data block (identifier 75 73 74 61 72 ...)");
}

// Tokens up to the block's last word and no marker: the walk stops at the block's end.
TEST_F(FileCheckTest, TokensToTheLastWordWithoutAMarker)
{
  BlockLayout layout;
  layout.endMarker = false;
  const std::vector<uint8_t> block = BuildBlock(Words(kBlockWords - kHeaderWords, tokens::ExtendedGroup(1)[0]), layout);
  const FileEvidence evidence = Check(Write("full.dat", std::string(block.begin(), block.end())));
  EXPECT_EQ(evidence.blocksPerReach[static_cast<size_t>(LengthReach::kNoMarker)], 1u);
  EXPECT_EQ(evidence.extendedGroupItems, kBlockWords - kHeaderWords);
}

TEST_F(FileCheckTest, TheFirstBlockLook)
{
  const std::string good = RunBytes(BlockLayout());
  const auto* bytes = reinterpret_cast<const unsigned char*>(good.data());
  EXPECT_EQ(CheckBlockStart(bytes, good.size()).kind, BlockStart::kDataBlock);
  EXPECT_EQ(CheckBlockStart(bytes, TEGBlockSize - 1).kind, BlockStart::kShorterThanABlock);

  BlockStart start;
  std::string error;
  ASSERT_TRUE(CheckFileStart(Write("short.dat", "no data"), start, error));
  EXPECT_EQ(start.kind, BlockStart::kShorterThanABlock);
  EXPECT_FALSE(CheckFileStart(folder.Path("missing.dat"), start, error));
  EXPECT_EQ(error, "Could not find file " + folder.Path("missing.dat"));
  const FileEvidence empty = Check(Write("empty.dat", ""));
  EXPECT_EQ(Verdict(empty), "looks wrong: it is empty");
  EXPECT_EQ(Verdict(Check(Write("short.dat", "EBYEDATA"))), "looks wrong: it holds no whole block of 32768 bytes");
}

}  // namespace
