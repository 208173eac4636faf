// `tuda run --print none` on compressed files against the two rates it must keep up with: the
// node's own on the plain file, and the system decompressor's alone (to /dev/null). All three
// are timed interleaved, codec by codec, round by round, in one run; the median of the rounds
// is reported as MB/s of uncompressed data, and the ratio of the compressed run to the slower
// of the other two.
// Usage: tuda_codec_bench [ROUNDS]   (default 3)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "reader/TTudaData.h"
#include "tools/SyntheticRun.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kRunBlocks = 1024;  // 32 MiB: xz and bzip2 take seconds per pass
constexpr int kDefaultRounds = 3;

struct Codec {
  const char* name;
  const char* compress;    // standard input to standard output
  const char* decompress;  // the same way back
};

const Codec kCodecs[] = {{"gzip", "gzip -c", "gzip -dc"},
                         {"bzip2", "bzip2 -c", "bzip2 -dc"},
                         {"xz", "xz -c", "xz -dc"},
                         {"zstd", "zstd -q -c", "zstd -q -dc"},
                         {"lz4", "lz4 -q -c", "lz4 -q -dc"}};

struct Rates {
  std::vector<double> plainNode, compressedNode, tool;
};

bool Shell(const std::string& command)
{
  return std::system(command.c_str()) == 0;
}

// The plain run and each codec's file, made once into the temporary folder and reused.
std::string PlainFile()
{
  const fs::path path = fs::temp_directory_path() / ("tuda-codec-bench-" + std::to_string(kRunBlocks) + ".dat");
  std::error_code error;
  if (fs::file_size(path, error) == kRunBlocks * TEGBlockSize) return path.string();
  const fs::path part = path.string() + ".part";
  {
    std::ofstream out(part, std::ios::binary);
    SyntheticRunOptions options;
    options.blocks = kRunBlocks;
    WriteSyntheticRun(out, options);
  }
  fs::rename(part, path);
  return path.string();
}

std::string CompressedFile(const std::string& plain, const Codec& codec)
{
  const std::string path = plain + "." + codec.name;
  if (fs::exists(path) && fs::last_write_time(path) >= fs::last_write_time(plain)) return path;
  if (!Shell(std::string(codec.compress) + " < " + plain + " > " + path + ".part") ||
      !Shell("mv " + path + ".part " + path)) {
    std::cerr << "tuda_codec_bench: cannot compress with " << codec.compress << std::endl;
    std::exit(1);
  }
  return path;
}

// Megabytes of uncompressed data a second that `command` took.
double Rate(const std::string& command)
{
  const auto start = std::chrono::steady_clock::now();
  if (!Shell(command + " > /dev/null 2>&1")) {
    std::cerr << "tuda_codec_bench: failed: " << command << std::endl;
    std::exit(1);
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  return static_cast<double>(kRunBlocks * TEGBlockSize) / kBytesPerMegabyte / seconds.count();
}

double Median(std::vector<double> values)
{
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string TudaProgram()
{
  return (fs::read_symlink("/proc/self/exe").parent_path() / "tuda").string();
}

}  // namespace

int main(int argc, char** argv)
{
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRounds;
  const std::string run = TudaProgram() + " run --print none --file ";
  const std::string plain = PlainFile();
  std::vector<std::string> files;
  for (const Codec& codec : kCodecs) files.push_back(CompressedFile(plain, codec));

  std::vector<Rates> rates(std::size(kCodecs));
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < std::size(kCodecs); ++i) {
      rates[i].plainNode.push_back(Rate(run + plain));
      rates[i].compressedNode.push_back(Rate(run + files[i]));
      rates[i].tool.push_back(Rate(std::string(kCodecs[i].decompress) + " < " + files[i]));
    }
  }

  std::printf("%-6s %12s %12s %12s %8s   (MB/s of uncompressed data, median of %d rounds)\n", "codec",
              "node plain", "node codec", "tool alone", "ratio", rounds);
  for (size_t i = 0; i < std::size(kCodecs); ++i) {
    const double plainNode = Median(rates[i].plainNode);
    const double compressedNode = Median(rates[i].compressedNode);
    const double tool = Median(rates[i].tool);
    std::printf("%-6s %12.1f %12.1f %12.1f %8.2f\n", kCodecs[i].name, plainNode, compressedNode, tool,
                compressedNode / std::min(plainNode, tool));
  }
  return 0;
}
