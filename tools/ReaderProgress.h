#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "reader/TTudaData.h"
#include "tools/Progress.h"

// The progress of a reader through `files`: the file bytes it has taken (compressed bytes for a
// compressed file), against the files' sizes; bytes alone when one of them is not a regular file,
// standard input ("-") for one. The reader and the list must outlive the source.
ProgressSource ReaderProgress(const TTudaData& reader, const std::vector<std::string>& files);

// The same for readers on other threads, which add every block they use up to `bytesRead`.
ProgressSource SharedReaderProgress(const std::atomic<uint64_t>& bytesRead, const std::vector<std::string>& files);
