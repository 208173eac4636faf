#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "reader/TTudaData.h"
#include "tools/console/Progress.h"

// The progress of a reader through `files`: the file bytes it has taken (compressed bytes for a
// compressed file), against the files' sizes; bytes alone when one of them is not a regular file,
// standard input ("-") for one. The reader and the list must outlive the source.
ProgressSource ReaderProgress(const TTudaData& reader, const std::vector<std::string>& files);

// The same for readers on other threads, each adding the file bytes it takes to `bytesRead`
// through a SharedBytesRead.
ProgressSource SharedReaderProgress(const std::atomic<uint64_t>& bytesRead, const std::vector<std::string>& files);

// Adds to `bytesRead` the file bytes `source` has taken since the last Update: compressed bytes
// for a compressed file, as the files' sizes count them. Both must outlive it.
class SharedBytesRead {
 public:
  SharedBytesRead(const TByteSource& source, std::atomic<uint64_t>& bytesRead) : source(source), bytesRead(bytesRead) {}

  void Update()
  {
    const uint64_t consumed = source.BytesConsumed();
    bytesRead.fetch_add(consumed - counted, std::memory_order_relaxed);
    counted = consumed;
  }

 private:
  const TByteSource& source;
  std::atomic<uint64_t>& bytesRead;
  uint64_t counted = 0;
};
