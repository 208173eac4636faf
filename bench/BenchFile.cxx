#include "bench/BenchFile.h"

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "reader/TTudaData.h"
#include "tools/SyntheticRun.h"

namespace {

constexpr uint64_t kRunBlocks = 16384;  // 512 MiB
constexpr uint64_t kRunSeed = 1;

}  // namespace

std::string BenchRunFile() {
  namespace fs = std::filesystem;
  const fs::path path = fs::temp_directory_path() /
                        ("tuda-bench-" + std::to_string(kRunBlocks) + "-blocks-seed-" +
                         std::to_string(kRunSeed) + ".dat");
  std::error_code error;
  if (fs::file_size(path, error) == kRunBlocks * TEGBlockSize) return path.string();

  // Written aside and renamed, so that an interrupted run leaves no short file behind.
  const fs::path part = path.string() + ".part";
  {
    std::ofstream out(part, std::ios::binary);
    SyntheticRunOptions options;
    options.blocks = kRunBlocks;
    options.seed = kRunSeed;
    WriteSyntheticRun(out, options);
  }
  fs::rename(part, path);
  return path.string();
}
