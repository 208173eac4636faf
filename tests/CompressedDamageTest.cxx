// Damage to compressed files that must not go unseen, through the program: `tuda gen` writes the
// checksums that catch a flipped byte in every codec; zero padding after gzip members is padding;
// a cut-off xz, bzip2 or lz4 file gives what the codec's own program recovers from it; a zstd
// frame that needs a larger window is refused with its own line and read when allowed.
#include <gtest/gtest.h>

#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "reader/TCodec.h"
#include "reader/TudaFormat.h"
#include "tests/InProcessPrograms.h"
#include "tests/TestSupport.h"
#include "tools/Tuda.h"
#include "tools/console/ExitStatus.h"

namespace {

struct CodecCase {
  const char* suffix;
  const char* name;  // as the damage line names it
  const char* tool;  // decompresses the file named after it to standard output
  // On damage, the tool leaves out the last of what it decoded: `bzip2 -dc` its last buffer.
  bool toolHoldsBack;
};

const CodecCase kCodecs[] = {{".gz", "gzip", "gzip -dc", false},
                             {".bz2", "bzip2", "bzip2 -dc", true},
                             {".xz", "xz", "xz -dc", false},
                             {".zst", "zstd", "zstd -q -dc", false},
                             {".lz4", "lz4", "lz4 -q -dc", false}};

constexpr uint64_t kBlocks = 12;
// Enough for five bzip2 blocks of 900,000 bytes and two lz4 blocks of 4 MiB.
constexpr uint64_t kBlocksToCut = 140;
constexpr size_t kPaddingBytes = 4096;
// A window above the standard 128 MiB and still cheap to allocate.
constexpr int kLargeWindowLog = 28;

class CompressedDamageTest : public testing::Test {
 protected:
  int Run(const std::vector<std::string>& args)
  {
    out.str("");
    err.str("");
    const ConsoleRedirect redirect(out.rdbuf(), err.rdbuf());
    return RunTudaHere(args);
  }

  std::string Bytes(const std::string& path)
  {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  std::string Write(const std::string& name, const std::string& bytes)
  {
    std::ofstream(folder.Path(name), std::ios::binary) << bytes;
    return folder.Path(name);
  }

  std::string Generated(const std::string& name, uint64_t blocks = kBlocks)
  {
    EXPECT_EQ(Run({"gen", folder.Path(name), "--blocks", std::to_string(blocks)}), kExitOk) << err.str();
    return folder.Path(name);
  }

  // The events `tuda events` prints, without the reader's opening line; fails on a non-zero exit.
  std::string Events(const std::vector<std::string>& args)
  {
    EXPECT_EQ(Run(args), kExitOk) << err.str();
    return out.str().substr(out.str().find('\n'));
  }

  // The bytes the codec's own program recovers from `path`.
  uint64_t RecoveredByTool(const CodecCase& codec, const std::string& path)
  {
    const std::string recovered = folder.Path("recovered");
    const std::string command = std::string(codec.tool) + " " + path + " > " + recovered + " 2>/dev/null";
    std::system(command.c_str());
    return std::filesystem::file_size(recovered);
  }

  // The uncompressed offset of the damage line naming `path`, or -1 without one.
  int64_t DamageOffset(const CodecCase& codec, const std::string& path)
  {
    const std::regex line("GetDataBlock: ERROR - " + std::string(codec.name) + " data of " + path +
                          " are damaged at uncompressed byte ([0-9]+) \\([^\n]+\\), reading no further\n");
    std::smatch match;
    const std::string text = err.str();
    return std::regex_search(text, match, line) ? std::stoll(match[1]) : -1;
  }

  ScratchFolder folder;
  std::ostringstream out;
  std::ostringstream err;
};

// ---- Checksums of gen's files ------------------------------------------------------------------

// A bit flipped in the data, in the middle of the file or in its closing checksum, is caught in
// every codec: never different events without a word.
TEST_F(CompressedDamageTest, AFlippedBitInAGeneratedFileIsCaughtInEveryCodec)
{
  if (*CompiledCodecs() == '\0') GTEST_SKIP() << "built without compressed files";
  for (const CodecCase& codec : kCodecs) {
    const std::string bytes = Bytes(Generated(std::string("run.dat") + codec.suffix));
    for (const size_t at : {bytes.size() / 3, bytes.size() / 2, bytes.size() - 2}) {
      std::string flipped = bytes;
      flipped[at] = static_cast<char>(flipped[at] ^ 0x01);
      const std::string path = Write(std::string("flipped") + codec.suffix, flipped);
      EXPECT_EQ(Run({"check", "--all", path}), kExitDataError) << codec.name << " at " << at;
      EXPECT_GE(DamageOffset(codec, path), 0) << codec.name << " at " << at << ": " << err.str();
    }
  }
}

// ---- Zero padding after gzip members -----------------------------------------------------------

TEST_F(CompressedDamageTest, ZerosAfterTheLastGzipMemberArePadding)
{
  if (*CompiledCodecs() == '\0') GTEST_SKIP() << "built without compressed files";
  const std::string plain = Generated("run.dat");
  const std::string padded =
      Write("padded.dat.gz", Bytes(Generated("run.dat.gz")) + std::string(kPaddingBytes, '\0'));
  const std::string events = Events({"events", plain});
  EXPECT_EQ(Events({"events", padded}), events);
  EXPECT_EQ(err.str(), "");

  ASSERT_EQ(Run({"stat", "--json", padded}), kExitOk) << err.str();
  const nlohmann::json object = nlohmann::json::parse(out.str());
  EXPECT_EQ(object["compressed_padding"], kPaddingBytes);
  uint64_t ledger = 0;
  for (const auto& entry : object["bytes"].items()) ledger += entry.value().get<uint64_t>();
  EXPECT_EQ(ledger, kBlocks * TEGBlockSize);
  EXPECT_EQ(err.str(), "OpenDataFile: Opened data file " + padded + "\n");
  ASSERT_EQ(Run({"stat", padded}), kExitOk);
  EXPECT_NE(out.str().find("Compressed padding    " + padded + ": 4096 zero bytes after the compressed data\n"),
            std::string::npos)
      << out.str();
}

TEST_F(CompressedDamageTest, OtherBytesAfterTheZeroPaddingAreDamage)
{
  if (*CompiledCodecs() == '\0') GTEST_SKIP() << "built without compressed files";
  const std::string path = Write("padded.dat.gz", Bytes(Generated("run.dat.gz")) + std::string(16, '\0') + "x");
  EXPECT_EQ(Run({"events", "--quiet", path}), kExitDataError);
  EXPECT_NE(err.str().find("GetDataBlock: ERROR - gzip data of " + path + " are damaged at uncompressed byte " +
                           std::to_string(kBlocks * TEGBlockSize) +
                           " (other data follow the zero padding after the last member), reading no further\n"),
            std::string::npos)
      << err.str();
}

// ---- Cut-off files -----------------------------------------------------------------------------

// The damage line gives the offset where the data stopped, which is at least all the codec's own
// program gives, and the reader delivers every whole block before it.
TEST_F(CompressedDamageTest, ACutOffFileGivesWhatTheCodecsOwnProgramRecovers)
{
  if (*CompiledCodecs() == '\0') GTEST_SKIP() << "built without compressed files";
  for (const CodecCase& codec : {kCodecs[1], kCodecs[2], kCodecs[4]}) {
    const std::string bytes = Bytes(Generated(std::string("run.dat") + codec.suffix, kBlocksToCut));
    for (const size_t cut : {bytes.size() / 3, bytes.size() * 9 / 10}) {
      const std::string path = Write(std::string("cut") + codec.suffix, bytes.substr(0, cut));
      const uint64_t recovered = RecoveredByTool(codec, path);
      ASSERT_EQ(Run({"stat", "--json", path}), kExitDataError) << codec.name;
      const int64_t offset = DamageOffset(codec, path);
      if (codec.toolHoldsBack) {
        EXPECT_GE(offset, static_cast<int64_t>(recovered)) << codec.name << ": " << err.str();
      } else {
        EXPECT_EQ(offset, static_cast<int64_t>(recovered)) << codec.name << ": " << err.str();
      }
      EXPECT_EQ(nlohmann::json::parse(out.str())["blocks"], offset / TEGBlockSize) << codec.name;
    }
  }
}

// ---- Large zstd windows ------------------------------------------------------------------------

TEST_F(CompressedDamageTest, AFrameThatNeedsALargerWindowIsReadOnlyWhenAllowed)
{
  if (*CompiledCodecs() == '\0') GTEST_SKIP() << "built without compressed files";
  const std::string plain = Generated("run.dat");
  const std::string data = Bytes(plain);
  // Compressed as a stream of unknown size, so that the frame asks for the whole window.
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, kLargeWindowLog);
  std::string packed(ZSTD_compressBound(data.size()), '\0');
  ZSTD_outBuffer output{packed.data(), packed.size(), 0};
  ZSTD_inBuffer input{data.data(), data.size(), 0};
  ZSTD_compressStream2(context, &output, &input, ZSTD_e_continue);
  ASSERT_EQ(ZSTD_compressStream2(context, &output, &input, ZSTD_e_end), 0u);
  ZSTD_freeCCtx(context);
  const std::string path = Write("wide.zst", packed.substr(0, output.pos));

  EXPECT_EQ(Run({"events", "--quiet", path}), kExitDataError);
  EXPECT_EQ(err.str(), "GetDataBlock: ERROR - zstd data of " + path +
                           " need a 256 MiB window at uncompressed byte 0, more than the 128 MiB allowed "
                           "(allow it with --zstd-window-log 28), reading no further\n");
  EXPECT_EQ(Run({"check", path}), kExitDataError);
  EXPECT_EQ(out.str().substr(0, out.str().find('\n')),
            path + ": looks wrong: its zstd data need a 256 MiB window, more than allowed (allow it with "
                   "--zstd-window-log 28)");
  EXPECT_EQ(Events({"events", "--zstd-window-log", "28", path}), Events({"events", plain}));
  EXPECT_EQ(Run({"stat", "--zstd-window-log", "28", path}), kExitOk) << err.str();
}

TEST_F(CompressedDamageTest, AWindowBeyondTheLibrarysLargestIsAUsageError)
{
  if (*CompiledCodecs() == '\0') GTEST_SKIP() << "built without compressed files";
  const TZstdWindowLogs logs = ZstdWindowLogs();
  const std::string beyond = std::to_string(logs.most + 1);
  for (const char* command : {"events", "stat", "info", "check", "dump", "export"}) {
    if (!Built(command)) continue;
    EXPECT_EQ(Run({command, "--zstd-window-log", beyond, "run.dat.zst"}), kExitUsage) << command;
    EXPECT_EQ(err.str(), std::string("tuda ") + command + ": --zstd-window-log: needs a whole decimal number from " +
                             std::to_string(logs.least) + " to " + std::to_string(logs.most) + ", not '" + beyond +
                             "' (see tuda help " + command + ")\n");
  }
  EXPECT_EQ(Run({"run", "--zstd-window-log", "28", "--file", "run.dat.zst"}), kExitUsage);
}

}  // namespace
