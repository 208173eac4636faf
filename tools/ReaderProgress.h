#pragma once

#include <string>
#include <vector>

#include "reader/TTudaData.h"
#include "tools/Progress.h"

// The progress of a reader through `files`: the blocks it has read, times the block size,
// against the files' sizes (unknown when one of them is not a regular file). The reader and the
// list must outlive the source.
ProgressSource ReaderProgress(const TTudaData& reader, const std::vector<std::string>& files);
