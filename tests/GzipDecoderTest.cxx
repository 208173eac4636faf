// The two gzip decoders over the same bytes: ISA-L's gives what zlib's gives, byte for byte, and
// the same damage in the same words at the same offset, for sound files of every level, members
// one after another and across raw reads, padding and other data after the last member, and
// files cut or with a byte flipped anywhere in the header, the data or the trailer; read from a
// file, which ISA-L's decoder reads again, and from a pipe, whose bytes it keeps. A member larger
// than the bytes kept, damaged beyond them, is told as zlib tells it too, from a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "reader/TGzipDecoder.h"
#include "reader/TIsalGzipDecoder.h"
#include "reader/TRawInput.h"
#include "tests/TestSupport.h"
#include "writer/SyntheticRun.h"

namespace {

// The reader's ring asks for slots of this size.
constexpr size_t kSlotBytes = 8 * 32768;
constexpr uint64_t kRunBlocks = 16;
// Room for every byte decoded from a file of the run, or two runs.
constexpr size_t kReservedBytes = 4 * kRunBlocks * 32768;
// A gzip header and trailer, without optional fields.
constexpr size_t kHeaderBytes = 10;
constexpr size_t kTrailerBytes = 8;
// Cuts and flips across the data, about this many of each per file.
constexpr size_t kDataSpots = 90;
// A run whose one gzip -1 member is larger than the bytes ISA-L's decoder keeps of a member.
constexpr uint64_t kLargeRunBlocks = 768;

struct Decoded {
  std::string bytes;
  std::string failure;
  uint64_t padding = 0;
  uint64_t consumed = 0;  // raw bytes counted as read
};

// What `Decoder` gives from the started `input`, asked for `piece` bytes at a time.
template <typename Decoder>
Decoded Decode(TRawInput& input, size_t piece)
{
  Decoder decoder(input);
  Decoded decoded;
  decoded.bytes.reserve(kReservedBytes);
  std::string buffer(piece, '\0');
  size_t count = piece;
  while (count == piece) {
    count = decoder.Decode(buffer.data(), piece);
    decoded.bytes.append(buffer.data(), count);
  }
  decoded.failure = decoder.Failure();
  decoded.padding = decoder.PaddingBytes();
  decoded.consumed = input.Consumed();
  return decoded;
}

// The same from a stream of `compressed`, which can be sought as a file can.
template <typename Decoder>
Decoded DecodeStream(const std::string& compressed, size_t piece)
{
  std::istringstream file(compressed);
  TRawInput input;
  input.Start(file);
  return Decode<Decoder>(input, piece);
}

// The same from a pipe that a thread writes `compressed` into, which cannot be sought.
template <typename Decoder>
Decoded DecodePipe(const std::string& compressed, size_t piece)
{
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  std::thread feeder([&] {
    for (size_t written = 0; written < compressed.size();) {
      const ssize_t count = write(ends[1], compressed.data() + written, compressed.size() - written);
      if (count <= 0) break;
      written += static_cast<size_t>(count);
    }
    close(ends[1]);
  });
  TRawInput input;
  input.StartDescriptor(ends[0], false, false);
  const Decoded decoded = Decode<Decoder>(input, piece);
  // Damage ends the decoding early: drain the pipe so that the feeder ends.
  ReadAll(ends[0]);
  feeder.join();
  close(ends[0]);
  return decoded;
}

// The same from the file at `path` through its descriptor.
template <typename Decoder>
Decoded DecodeFile(const std::string& path, size_t piece)
{
  TRawInput input;
  input.StartDescriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC), true, false);
  return Decode<Decoder>(input, piece);
}

// One gzip member of `data` at `level` (0: stored), through zlib.
std::string Member(const std::string& data, int level)
{
  z_stream stream{};
  deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string member(deflateBound(&stream, data.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(member.data());
  stream.avail_out = static_cast<uInt>(member.size());
  deflate(&stream, Z_FINISH);
  member.resize(stream.total_out);
  deflateEnd(&stream);
  return member;
}

// A stored member of letters 'a' exactly `size` bytes long, once the stored blocks' framing is
// found; empty when it cannot be.
std::string StoredMemberOfSize(size_t size)
{
  size_t data = size;
  for (int tries = 0; tries < 8; ++tries) {
    const std::string member = Member(std::string(data, 'a'), 0);
    if (member.size() == size) return member;
    data = data + size - member.size();
  }
  return "";
}

class GzipDecoderTest : public testing::Test {
 protected:
  // The large run through gzip -1, made once: a single member larger than the bytes kept.
  static void SetUpTestSuite()
  {
    largeFolder = std::make_unique<ScratchFolder>();
    SyntheticRunOptions options;
    options.blocks = kLargeRunBlocks;
    std::ofstream out(largeFolder->Path("large.dat"), std::ios::binary);
    WriteSyntheticRun(out, options);
    out.close();
    const std::string command = "gzip -1 " + largeFolder->Path("large.dat");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static void TearDownTestSuite() { largeFolder.reset(); }

  void SetUp() override
  {
    SyntheticRunOptions options;
    options.blocks = kRunBlocks;
    std::ofstream out(plain, std::ios::binary);
    WriteSyntheticRun(out, options);
  }

  // The run through `gzip -LEVEL`.
  std::string Gzipped(int level)
  {
    const std::string path = folder.Path("run.gz");
    const std::string command = "gzip -" + std::to_string(level) + " -c " + plain + " > " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadFile(path);
  }

  // Expects from ISA-L's decoder what zlib's gave.
  static void ExpectSame(const Decoded& isal, const Decoded& zlib, const std::string& what)
  {
    EXPECT_EQ(isal.failure, zlib.failure) << what;
    EXPECT_EQ(isal.bytes.size(), zlib.bytes.size()) << what << ": " << zlib.failure;
    EXPECT_TRUE(isal.bytes == zlib.bytes) << what;
    EXPECT_EQ(isal.padding, zlib.padding) << what;
  }

  // Decodes `compressed` with both decoders, ISA-L's from a stream and from a pipe, and expects
  // the same from each; zlib's result.
  Decoded ExpectSame(const std::string& compressed, const std::string& what, size_t piece = kSlotBytes)
  {
    const Decoded zlib = DecodeStream<TGzipDecoder>(compressed, piece);
    ExpectSame(DecodeStream<TIsalGzipDecoder>(compressed, piece), zlib, what);
    ExpectSame(DecodePipe<TIsalGzipDecoder>(compressed, piece), zlib, what + " through a pipe");
    return zlib;
  }

  // Decodes the large member's file as it stands with both decoders and expects the same, no
  // byte counted twice as read.
  static void ExpectSameOfLarge(const std::string& what)
  {
    const std::string path = largeFolder->Path("large.dat.gz");
    const Decoded zlib = DecodeFile<TGzipDecoder>(path, kSlotBytes);
    const Decoded isal = DecodeFile<TIsalGzipDecoder>(path, kSlotBytes);
    ExpectSame(isal, zlib, what);
    EXPECT_NE(zlib.failure, "") << what;
    EXPECT_LE(isal.consumed, std::filesystem::file_size(path)) << what;
  }

  // Flips a bit of the byte at `at` of the file at `path`, or flips it back.
  static void FlipByte(const std::string& path, uint64_t at)
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(static_cast<std::streamoff>(at));
    const char byte = static_cast<char>(file.get() ^ 0x10);
    file.seekp(static_cast<std::streamoff>(at));
    file.put(byte);
  }

  static std::unique_ptr<ScratchFolder> largeFolder;

  // Every cut in the header and the trailer, and kDataSpots across the data.
  static std::vector<size_t> Spots(size_t size)
  {
    std::vector<size_t> spots;
    for (size_t at = 0; at < kHeaderBytes + 2; ++at) spots.push_back(at);
    for (size_t at = kHeaderBytes + 2; at < size - kTrailerBytes; at += size / kDataSpots) spots.push_back(at);
    for (size_t at = size - kTrailerBytes - 1; at < size; ++at) spots.push_back(at);
    return spots;
  }

  ScratchFolder folder;
  const std::string plain = folder.Path("run.dat");
};

std::unique_ptr<ScratchFolder> GzipDecoderTest::largeFolder;

TEST_F(GzipDecoderTest, SoundFilesOfEveryLevelGiveThePlainBytes)
{
  for (const int level : {1, 6, 9}) {
    const std::string what = "gzip -" + std::to_string(level);
    const Decoded decoded = ExpectSame(Gzipped(level), what);
    EXPECT_EQ(decoded.failure, "") << what;
    EXPECT_TRUE(decoded.bytes == ReadFile(plain)) << what;
    ExpectSame(Gzipped(level), what + " in small pieces", 1000);
  }
}

// Members one after another, the second starting just before, at and just after the end of a
// raw read of either decoder, so that its header comes in two reads.
TEST_F(GzipDecoderTest, MembersReadThroughAcrossRawReads)
{
  const std::string second = Gzipped(6);
  const std::string bytes = ReadFile(plain);
  for (const size_t read : {TDecoder::kInputBytes, TIsalGzipDecoder::kIsalInputBytes}) {
    for (size_t before = read - kHeaderBytes - 2; before <= read + 2; ++before) {
      const std::string first = StoredMemberOfSize(before);
      ASSERT_EQ(first.size(), before);
      const Decoded decoded = ExpectSame(first + second, "second member at " + std::to_string(before));
      EXPECT_EQ(decoded.failure, "");
      ASSERT_GE(decoded.bytes.size(), bytes.size());
      EXPECT_TRUE(decoded.bytes == std::string(decoded.bytes.size() - bytes.size(), 'a') + bytes) << before;
    }
  }
  ExpectSame(Gzipped(1) + Gzipped(9) + Gzipped(6), "three members");
}

// What follows the last member: zero padding, other bytes after it, other bytes straight after.
TEST_F(GzipDecoderTest, WhatFollowsTheLastMemberIsTakenAsZlibTakesIt)
{
  const std::string member = Gzipped(6);
  const std::vector<std::string> tails{std::string(4096, '\0'), std::string(16, '\0') + "x",
                                       "x",
                                       "\x1f",
                                       "\x1f\x8b",
                                       std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10),
                                       std::string("\x1f\x8b\x09\0\0\0\0\0\0\x03", 10),
                                       std::string("\x1f\x8b\x08\xe0\0\0\0\0\0\x03", 10),
                                       member.substr(0, member.size() / 2)};
  for (const std::string& tail : tails) ExpectSame(member + tail, "tail of " + std::to_string(tail.size()));
  EXPECT_EQ(ExpectSame(member + tails[0], "padding").padding, tails[0].size());
  EXPECT_EQ(ExpectSame(member + tails[1], "other data").failure,
            "other data follow the zero padding after the last member");
}

// ---- Damage ------------------------------------------------------------------------------------

TEST_F(GzipDecoderTest, ACutAnywhereEndsWhereZlibEndsIt)
{
  for (const int level : {1, 9}) {
    const std::string bytes = Gzipped(level);
    for (const size_t cut : Spots(bytes.size())) {
      const Decoded decoded = ExpectSame(bytes.substr(0, cut), "gzip -" + std::to_string(level) + " cut at " +
                                                                   std::to_string(cut));
      EXPECT_EQ(decoded.failure, cut == 0 ? "" : "the data end inside a member") << cut;
    }
  }
}

TEST_F(GzipDecoderTest, AFlippedByteAnywhereIsToldInZlibsWordsAtZlibsOffset)
{
  for (const int level : {1, 6, 9}) {
    const std::string bytes = Gzipped(level);
    const std::vector<size_t> spots = Spots(bytes.size());
    for (size_t i = 0; i < spots.size(); ++i) {
      // The lowest bit at one spot, the highest at the next.
      const int mask = i % 2 == 0 ? 0x01 : 0x80;
      std::string flipped = bytes;
      flipped[spots[i]] = static_cast<char>(flipped[spots[i]] ^ mask);
      ExpectSame(flipped, "gzip -" + std::to_string(level) + " flipped at " + std::to_string(spots[i]) + " by " +
                              std::to_string(mask));
    }
  }
}

// The damage a whole member's compressed bytes are needed for: a checksum or length that does not
// match, found at the member's end, in the first of two members.
TEST_F(GzipDecoderTest, AChecksumOrLengthThatDoesNotMatchEndsTheDataAfterTheMember)
{
  const std::string member = Gzipped(6);
  const std::string bytes = ReadFile(plain);
  for (const auto& [from, reason] : {std::pair<size_t, std::string>{8, "incorrect data check"},
                                     std::pair<size_t, std::string>{4, "incorrect length check"}}) {
    std::string damaged = member;
    damaged[damaged.size() - from] = static_cast<char>(damaged[damaged.size() - from] ^ 0x01);
    const Decoded decoded = ExpectSame(damaged + member, reason);
    EXPECT_EQ(decoded.failure, reason);
    EXPECT_EQ(decoded.bytes.size(), bytes.size());
  }
}

// The large member with a byte flipped, then cut shorter and shorter, all beyond the bytes kept of
// a member read from a pipe.
TEST_F(GzipDecoderTest, AMemberLargerThanTheKeptBytesIsToldAsZlibTellsItFromAFile)
{
  const std::string path = largeFolder->Path("large.dat.gz");
  const uint64_t size = std::filesystem::file_size(path);
  ASSERT_GT(size, TIsalGzipDecoder::kKeptBytesMost + (size_t{1} << 20));
  const uint64_t spots[] = {size - kTrailerBytes / 2, size - 1000, TIsalGzipDecoder::kKeptBytesMost + 12345};
  FlipByte(path, spots[2]);
  ExpectSameOfLarge("flipped at " + std::to_string(spots[2]));
  FlipByte(path, spots[2]);
  for (const uint64_t cut : spots) {
    std::filesystem::resize_file(path, cut);
    ExpectSameOfLarge("cut at " + std::to_string(cut));
  }
}

}  // namespace
