// `tuda run --print none` on compressed files against the two rates it must keep up with: the
// node's own on the plain file, and the system decompressor's alone (to /dev/null). All three
// are timed interleaved, codec by codec, round by round, in one run; the median of the rounds
// is reported as MB/s of uncompressed data, and the ratio of the compressed run to the slower
// of the other two. On a loaded machine the helper thread cannot run beside the decoder, so the
// CPU seconds are shown as well: the compressed run's against the plain run's plus the tool's.
// The fast codecs read a 256 MiB run, so that the program's start-up and the codec's buffers,
// paid once per file, weigh no more than they do on a real run; xz and bzip2 a 32 MiB one, which
// already takes them seconds.
// With --gzip, the gzip path alone: this build's `tuda run` (ISA-L where built with it) against
// ZLIB_TUDA, a `tuda` built with -DTUDA_ISAL=OFF, and against `igzip -dc` and `gzip -dc` alone,
// interleaved round by round on the 256 MiB run compressed by gzip -6 (gzip's default level).
// Usage: tuda_codec_bench [ROUNDS]   (default 3)
//        tuda_codec_bench --gzip ZLIB_TUDA [ROUNDS]
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bench/BenchFile.h"
#include "bench/CommandTiming.h"
#include "reader/TTudaData.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kShortRunBlocks = 1024;  // 32 MiB
constexpr uint64_t kLongRunBlocks = 8192;   // 256 MiB
constexpr int kDefaultRounds = 3;

struct Codec {
  const char* name;
  const char* compress;    // standard input to standard output
  const char* decompress;  // the same way back
  uint64_t runBlocks;
};

const Codec kCodecs[] = {{"gzip", "gzip -c", "gzip -dc", kLongRunBlocks},
                         {"bzip2", "bzip2 -c", "bzip2 -dc", kShortRunBlocks},
                         {"xz", "xz -c", "xz -dc", kShortRunBlocks},
                         {"zstd", "zstd -q -c", "zstd -q -dc", kLongRunBlocks},
                         {"lz4", "lz4 -q -c", "lz4 -q -dc", kLongRunBlocks}};

// One command's runs: MB/s of uncompressed data, and CPU seconds.
struct Runs {
  std::vector<double> rates;
  std::vector<double> cpu;
};

struct Rates {
  Runs plainNode, compressedNode, tool;
};

// Each codec's file, made once beside the plain run and reused while it is newer.
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

double ChildrenCpuSeconds()
{
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs `command` over `blocks` blocks once, noting its rate and CPU seconds.
void Time(const std::string& command, uint64_t blocks, Runs& runs)
{
  const double cpuBefore = ChildrenCpuSeconds();
  const double seconds = TimedSeconds(command + " > /dev/null 2>&1", "tuda_codec_bench");
  runs.rates.push_back(static_cast<double>(blocks * TEGBlockSize) / kBytesPerMegabyte / seconds);
  runs.cpu.push_back(ChildrenCpuSeconds() - cpuBefore);
}

int Rounds(const char* argument)
{
  return argument != nullptr ? std::max(1, std::atoi(argument)) : kDefaultRounds;
}

// One command of the gzip comparison, run on the compressed file.
struct Contender {
  const char* name;
  std::string command;
  Runs runs;
};

int CompareGzip(const std::string& zlibTuda, int rounds)
{
  const Codec& gzip = kCodecs[0];
  const std::string file = CompressedFile(BenchRunFile(gzip.runBlocks), gzip);
  const std::string run = " run --print none --file " + file;
  std::vector<Contender> contenders{{"tuda zlib", zlibTuda + run, {}},
                                    {"tuda isal", BesideBenchmark("tuda") + run, {}},
                                    {"igzip -dc", "igzip -dc < " + file, {}},
                                    {"gzip -dc", "gzip -dc < " + file, {}}};
  for (int round = 0; round < rounds; ++round) {
    for (Contender& contender : contenders) Time(contender.command, gzip.runBlocks, contender.runs);
  }

  const double zlibRate = Median(contenders[0].runs.rates);
  const double igzipRate = Median(contenders[2].runs.rates);
  std::printf("%-10s %9s %9s %9s %9s\n", "gzip -6", "MB/s", "cpu s", "/zlib", "/igzip");
  for (const Contender& contender : contenders) {
    const double rate = Median(contender.runs.rates);
    std::printf("%-10s %9.1f %9.3f %9.2f %9.2f\n", contender.name, rate, Median(contender.runs.cpu),
                rate / zlibRate, rate / igzipRate);
  }
  std::printf("MB/s of uncompressed data of a %llu MiB run and CPU seconds, medians of %d rounds\n",
              static_cast<unsigned long long>(gzip.runBlocks * TEGBlockSize / kBytesPerMegabyte), rounds);
  return 0;
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc > 2 && std::string(argv[1]) == "--gzip") return CompareGzip(argv[2], Rounds(argc > 3 ? argv[3] : nullptr));
  const int rounds = Rounds(argc > 1 ? argv[1] : nullptr);
  const std::string run = BesideBenchmark("tuda") + " run --print none --file ";
  std::vector<std::string> plains, files;
  for (const Codec& codec : kCodecs) {
    plains.push_back(BenchRunFile(codec.runBlocks));
    files.push_back(CompressedFile(plains.back(), codec));
  }

  std::vector<Rates> rates(std::size(kCodecs));
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < std::size(kCodecs); ++i) {
      const uint64_t blocks = kCodecs[i].runBlocks;
      Time(run + plains[i], blocks, rates[i].plainNode);
      Time(run + files[i], blocks, rates[i].compressedNode);
      Time(std::string(kCodecs[i].decompress) + " < " + files[i], blocks, rates[i].tool);
    }
  }

  std::printf("%-6s %4s %11s %11s %11s %6s   %9s %9s %9s %6s\n", "codec", "MiB", "node plain", "node codec", "tool alone",
              "ratio", "cpu plain", "cpu codec", "cpu tool", "ratio");
  for (size_t i = 0; i < std::size(kCodecs); ++i) {
    const Rates& r = rates[i];
    const double plainNode = Median(r.plainNode.rates);
    const double compressedNode = Median(r.compressedNode.rates);
    const double tool = Median(r.tool.rates);
    const double plainCpu = Median(r.plainNode.cpu);
    const double compressedCpu = Median(r.compressedNode.cpu);
    const double toolCpu = Median(r.tool.cpu);
    std::printf("%-6s %4llu %11.1f %11.1f %11.1f %6.2f   %9.3f %9.3f %9.3f %6.2f\n", kCodecs[i].name,
                static_cast<unsigned long long>(kCodecs[i].runBlocks * TEGBlockSize / kBytesPerMegabyte), plainNode,
                compressedNode, tool, compressedNode / std::min(plainNode, tool), plainCpu, compressedCpu, toolCpu,
                (plainCpu + toolCpu) / compressedCpu);
  }
  std::printf("MB/s of uncompressed data and CPU seconds, medians of %d rounds; ratios of 1 or more are best\n", rounds);
  return 0;
}
