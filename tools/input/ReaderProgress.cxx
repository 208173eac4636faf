#include "tools/input/ReaderProgress.h"

#include "tools/input/InputName.h"

namespace {

uint64_t TotalSize(const std::vector<std::string>& files)
{
  uint64_t total = 0;
  for (const std::string& file : files) {
    uint64_t size = 0;
    if (!IsRegularFile(file, size)) return 0;
    total += size;
  }
  return total;
}

}  // namespace

ProgressSource ReaderProgress(const TTudaData& reader, const std::vector<std::string>& files)
{
  return [&reader, total = TotalSize(files)] { return ProgressAmount{reader.Source().BytesConsumed(), total}; };
}

ProgressSource SharedReaderProgress(const std::atomic<uint64_t>& bytesRead, const std::vector<std::string>& files)
{
  return [&bytesRead, total = TotalSize(files)] {
    return ProgressAmount{bytesRead.load(std::memory_order_relaxed), total};
  };
}
