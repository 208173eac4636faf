// Compressed data files and standard input: every codec gives exactly the plain file's events,
// through the system's tools and through the project's compressed output; damaged streams end
// with one line after every whole block before the damage; standard input reads through a pipe.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

#include "reader/TTudaData.h"
#include "tests/CountedAllocations.h"
#include "tests/TestSupport.h"
#include "writer/SyntheticRun.h"
#include "writer/CompressedOutput.h"

namespace {

struct CodecCase {
  TCodec codec;
  const char* tool;    // compresses standard input to standard output
  const char* suffix;  // the ending that makes the compressed output choose the codec
};

const CodecCase kCodecs[] = {{TCodec::kGzip, "gzip -c", ".gz"},
                             {TCodec::kBzip2, "bzip2 -c", ".bz2"},
                             {TCodec::kXz, "xz -c", ".xz"},
                             {TCodec::kZstd, "zstd -q -c", ".zst"},
                             {TCodec::kLz4, "lz4 -q -c", ".lz4"}};

void PrintTo(const CodecCase& codec, std::ostream* out)
{
  *out << CodecName(codec.codec);
}

void WriteFile(const std::string& path, const std::string& bytes)
{
  std::ofstream(path, std::ios::binary) << bytes;
}

template <typename Items>
void PutItems(std::ostream& out, const char* kind, const Items& items)
{
  out << kind;
  for (const auto& item : items) out << ' ' << item.GetChannel() << '=' << item.GetValue();
  out << '\n';
}

// Every event the reader gives, as text, then its blocks read; the console is kept in `console`.
std::string DecodeAll(TTudaData& reader, Console& console)
{
  std::ostringstream events;
  console = CaptureConsole([&] {
    while (TTudaEvent* event = reader.GetNextEvent()) {
      PutItems(events, "ADC", event->GetAdcItems());
      PutItems(events, "TDC", event->GetTdcItems());
      PutItems(events, "EPICS", event->GetEpicsItems());
      PutItems(events, "scaler", event->GetScalerItems());
      event->Clear(nullptr);
    }
  });
  return events.str() + "blocks " + std::to_string(reader.fBlocksRead);
}

// Allocations while every event of `path` is read, after the file is open.
size_t AllocationsWhileDecoding(const std::string& path)
{
  TTudaData reader;
  const QuietConsole quiet;
  reader.OpenDataFile(path.c_str());
  const size_t before = allocationCount;
  while (TTudaEvent* event = reader.GetNextEvent()) event->Clear(nullptr);
  return allocationCount - before;
}

size_t ThreadsOfThisProcess()
{
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<size_t>(std::distance(begin(tasks), end(tasks)));
}

class CompressedInputTest : public testing::TestWithParam<CodecCase> {
 protected:
  // Nine blocks, a quarter of them swapped, events running across blocks, a short trailing piece.
  void SetUp() override
  {
    SyntheticRunOptions options;
    options.blocks = 9;
    options.swappedFraction = 0.25;
    std::ofstream out(plain, std::ios::binary);
    WriteSyntheticRun(out, options);
    out << "trailing";
  }

  std::string Compress(const std::string& from, const CodecCase& codec, const std::string& name)
  {
    const std::string path = folder.Path(name);
    const std::string command = std::string(codec.tool) + " < " + from + " > " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
  }

  std::string Decode(const std::string& path, Console& console)
  {
    TTudaData reader;
    const Console open = CaptureConsole([&] { reader.OpenDataFile(path.c_str()); });
    EXPECT_EQ(open.out, "OpenDataFile: Opened data file " + path + "\n");
    const std::string events = DecodeAll(reader, console);
    damaged = reader.fSource.Damaged();
    return events;
  }

  std::string DecodeQuietly(const std::string& path)
  {
    Console console;
    const std::string events = Decode(path, console);
    EXPECT_EQ(console.err, "");
    EXPECT_FALSE(damaged);
    return events;
  }

  // The events of the plain file cut after its first `blocks` blocks.
  std::string PlainEventsOfBlocks(uint64_t blocks)
  {
    const std::string cut = folder.Path("cut.dat");
    WriteFile(cut, ReadFile(plain).substr(0, blocks * TEGBlockSize));
    return DecodeQuietly(cut);
  }

  // Decodes a damaged file: its last line, the one error line naming the file, the codec and the
  // uncompressed offset of the damage, comes after exactly the whole blocks before that offset.
  // Those are the plain file's own, unless the damage could only be found by a checksum at the
  // end of what was decoded.
  void ExpectDamageReported(const std::string& path, TCodec codec, bool foundBeforeDelivery)
  {
    Console console;
    const std::string events = Decode(path, console);
    const std::regex line("(^|\n)GetDataBlock: ERROR - " + std::string(CodecName(codec)) + " data of " + path +
                          " are damaged at uncompressed byte ([0-9]+) \\([^\n]+\\), reading no further\n$");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(console.err, match, line)) << console.err;
    EXPECT_TRUE(damaged);
    const uint64_t wholeBlocks = std::stoull(match[2]) / TEGBlockSize;
    if (foundBeforeDelivery) {
      EXPECT_EQ(events, PlainEventsOfBlocks(wholeBlocks));
    } else {
      EXPECT_EQ(events.substr(events.rfind("blocks ")), "blocks " + std::to_string(wholeBlocks));
    }
  }

  ScratchFolder folder;
  const std::string plain = folder.Path("run.dat");
  bool damaged = false;
};

TEST_P(CompressedInputTest, TheSystemToolsFileGivesThePlainFilesEvents)
{
  EXPECT_EQ(DecodeQuietly(Compress(plain, GetParam(), "run")), DecodeQuietly(plain));
}

TEST_P(CompressedInputTest, TheCompressedOutputGivesThePlainFilesEvents)
{
  const std::string path = folder.Path(std::string("run.dat") + GetParam().suffix);
  CompressedOutput out(path, CodecOfOutputName(path));
  out << ReadFile(plain);
  ASSERT_TRUE(out.Close()) << out.Error();
  EXPECT_EQ(DecodeQuietly(path), DecodeQuietly(plain));
}

// The helper ends its thread once it has handed on the stream's end, so the run is longer than
// its ring (1 MiB): the helper waits for a free slot until the file is closed.
TEST_P(CompressedInputTest, OneHelperThreadLivesWhileTheCompressedFileIsOpen)
{
  const std::string longRun = folder.Path("long.dat");
  {
    SyntheticRunOptions options;
    options.blocks = 64;
    std::ofstream out(longRun, std::ios::binary);
    WriteSyntheticRun(out, options);
  }
  const std::string compressed = Compress(longRun, GetParam(), "long");
  const size_t before = ThreadsOfThisProcess();
  TTudaData reader;
  const QuietConsole quiet;
  reader.OpenDataFile(plain.c_str());
  EXPECT_EQ(ThreadsOfThisProcess(), before);
  reader.OpenDataFile(compressed.c_str());
  EXPECT_EQ(reader.fSource.Codec(), GetParam().codec);
  EXPECT_EQ(ThreadsOfThisProcess(), before + 1);
  reader.CloseDataFile();
  EXPECT_EQ(ThreadsOfThisProcess(), before);
}

// The helper thread, the ring and the decoders' buffers come with the open file: reading then
// allocates what reading the plain file does, as the event's lists grow, and nothing per block.
TEST_P(CompressedInputTest, ReadingAllocatesNothingBeyondWhatThePlainFileDoes)
{
  EXPECT_EQ(AllocationsWhileDecoding(Compress(plain, GetParam(), "run")), AllocationsWhileDecoding(plain));
}

// ---- Damaged streams ---------------------------------------------------------------------------

TEST_P(CompressedInputTest, ATruncatedStreamEndsWithOneLineAfterTheWholeBlocksBeforeIt)
{
  const std::string bytes = ReadFile(Compress(plain, GetParam(), "run"));
  const std::string truncated = folder.Path("truncated");
  WriteFile(truncated, bytes.substr(0, bytes.size() * 2 / 3));
  ExpectDamageReported(truncated, GetParam().codec, true);
}

TEST_P(CompressedInputTest, ACorruptStreamEndsWithOneLineAfterTheWholeBlocksBeforeIt)
{
  std::string bytes = ReadFile(Compress(plain, GetParam(), "run"));
  // Past the stream's header, so that the codec is still told; the xor changes every bit.
  for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 16; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0xff);
  const std::string corrupt = folder.Path("corrupt");
  WriteFile(corrupt, bytes);
  ExpectDamageReported(corrupt, GetParam().codec, false);
}

// gzip members, zstd and lz4 frames, bzip2 and xz streams: one after another, as `cat` joins them.
TEST_P(CompressedInputTest, ConcatenatedStreamsReadAsOneFile)
{
  const std::string bytes = ReadFile(plain);
  WriteFile(folder.Path("first"), bytes.substr(0, 40000));
  WriteFile(folder.Path("second"), bytes.substr(40000));
  WriteFile(folder.Path("joined"), ReadFile(Compress(folder.Path("first"), GetParam(), "1")) +
                                       ReadFile(Compress(folder.Path("second"), GetParam(), "2")));
  EXPECT_EQ(DecodeQuietly(folder.Path("joined")), DecodeQuietly(plain));
}

INSTANTIATE_TEST_SUITE_P(EveryCodec, CompressedInputTest, testing::ValuesIn(kCodecs),
                         [](const testing::TestParamInfo<CodecCase>& info) { return CodecName(info.param.codec); });

// ---- Codecs, gzip members, standard input -------------------------------------------------------

TEST(CodecTest, FirstBytesTellTheCodec)
{
  const std::vector<std::pair<std::string, TCodec>> cases{
      {std::string("\x1f\x8b\x08\x00", 4), TCodec::kGzip},  {"BZh91AY", TCodec::kBzip2},
      {std::string("\xfd" "7zXZ\0", 6), TCodec::kXz},       {"\x28\xb5\x2f\xfd", TCodec::kZstd},
      {"\x04\x22\x4d\x18", TCodec::kLz4},                   {"\x02\x21\x4c\x18", TCodec::kLz4},
      {"EBYEDATA", TCodec::kNone},                          {"\x1f", TCodec::kNone},
      {std::string("\xfd" "7zXZ", 5), TCodec::kNone},       {"", TCodec::kNone}};
  for (const auto& [bytes, codec] : cases) {
    EXPECT_EQ(CodecOfFirstBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), codec) << bytes;
  }
  EXPECT_EQ(std::string(CompiledCodecs()), "gzip, bzip2, xz, zstd, lz4");
}

TEST(CodecTest, OutputNamesChooseTheirCodecByTheirEnding)
{
  EXPECT_EQ(CodecOfOutputName("run.dat.gz"), TCodec::kGzip);
  EXPECT_EQ(CodecOfOutputName("run.bz2"), TCodec::kBzip2);
  EXPECT_EQ(CodecOfOutputName("run.xz"), TCodec::kXz);
  EXPECT_EQ(CodecOfOutputName("run.zst"), TCodec::kZstd);
  EXPECT_EQ(CodecOfOutputName("run.lz4"), TCodec::kLz4);
  EXPECT_EQ(CodecOfOutputName("run.dat"), TCodec::kNone);
  EXPECT_EQ(CodecOfOutputName(".gz"), TCodec::kNone);
}

TEST(CodecTest, TheSameEventsGiveTheSameGzipBytes)
{
  ScratchFolder folder;
  for (const char* name : {"a.gz", "b.gz"}) {
    CompressedOutput out(folder.Path(name), TCodec::kGzip);
    out << "the same bytes";
    ASSERT_TRUE(out.Close());
  }
  EXPECT_EQ(ReadFile(folder.Path("a.gz")), ReadFile(folder.Path("b.gz")));
}

TEST(CodecTest, AnUnwritableCompressedOutputSaysWhy)
{
  CompressedOutput out("/nonexistent/run.gz", TCodec::kGzip);
  EXPECT_FALSE(out.Close());
  EXPECT_EQ(out.Error().rfind("cannot write /nonexistent/run.gz: ", 0), 0u) << out.Error();
}

class StandardInputTest : public CompressedInputTest {
 protected:
  // Decodes "-" while a thread feeds `path` into a pipe on standard input.
  std::string DecodeStandardInput(const std::string& path)
  {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    const int savedInput = dup(STDIN_FILENO);
    dup2(ends[0], STDIN_FILENO);
    close(ends[0]);
    std::thread feeder([&] {
      const std::string bytes = ReadFile(path);
      for (size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(ends[1], bytes.data() + done, bytes.size() - done);
        if (written <= 0) break;
        done += static_cast<size_t>(written);
      }
      close(ends[1]);
    });
    const std::string events = DecodeQuietly("-");
    feeder.join();
    dup2(savedInput, STDIN_FILENO);
    close(savedInput);
    return events;
  }
};

TEST_F(StandardInputTest, PlainAndCompressedDataArriveThroughAPipe)
{
  const std::string events = DecodeQuietly(plain);
  EXPECT_EQ(DecodeStandardInput(plain), events);
  EXPECT_EQ(DecodeStandardInput(Compress(plain, kCodecs[3], "run.zst")), events);
}

// The frame format goes through the lz4 library, the legacy one through the archive library.
TEST_F(StandardInputTest, TheLegacyLz4FormatGivesThePlainFilesEvents)
{
  const CodecCase legacy{TCodec::kLz4, "lz4 -q -l -c", ".lz4"};
  EXPECT_EQ(DecodeQuietly(Compress(plain, legacy, "run")), DecodeQuietly(plain));
}

TEST_F(StandardInputTest, AFileNamedDashIsReachedAsDotSlashDash)
{
  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  std::filesystem::copy_file(plain, "-");
  const std::string events = DecodeQuietly("./-");
  std::filesystem::current_path(saved);
  EXPECT_EQ(events, DecodeQuietly(plain));
}

}  // namespace
