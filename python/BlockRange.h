#pragma once

#include <cstdint>
#include <string>

#include "python/EventArrays.h"
#include "python/ReadProblem.h"
#include "tools/cli/ZstdWindowOption.h"

// One partition of a plain data file: the events whose event-start token lies in blocks
// `firstBlock` to `firstBlock + blocks - 1`, read on past the last block to finish the last of
// them. The range that starts at block 0 also owns the items before the file's first event-start
// token, as the file's event 0. The ranges of a file, one after another, give exactly the events
// of the file read on its own; their numbers here count from 0 within the range.
struct BlockRange {
  std::string file;
  uint64_t firstBlock = 0;
  uint64_t blocks = UINT64_MAX;
  unsigned kinds = kAllKindBits;
  bool force = false;
  ZstdWindowOption window;
};

// Reads the range with a reader of its own, writing nothing. A compressed file is read whole, as
// one range from block 0. Throws Interrupted on Ctrl-C.
EventArrays ReadBlockRange(const BlockRange& range, ReadProblem& problem);
