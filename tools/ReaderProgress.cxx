#include "tools/ReaderProgress.h"

#include <sys/stat.h>

namespace {

uint64_t TotalSize(const std::vector<std::string>& files)
{
  uint64_t total = 0;
  for (const std::string& file : files) {
    struct stat status {};
    if (stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return 0;
    total += static_cast<uint64_t>(status.st_size);
  }
  return total;
}

}  // namespace

ProgressSource ReaderProgress(const TTudaData& reader, const std::vector<std::string>& files)
{
  return [&reader, total = TotalSize(files)] {
    return ProgressAmount{static_cast<uint64_t>(reader.fBlocksRead) * TEGBlockSize, total};
  };
}

ProgressSource SharedReaderProgress(const std::atomic<uint64_t>& bytesRead, const std::vector<std::string>& files)
{
  return [&bytesRead, total = TotalSize(files)] {
    return ProgressAmount{bytesRead.load(std::memory_order_relaxed), total};
  };
}
