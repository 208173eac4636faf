#pragma once

#include <string>

#include "reader/TTudaData.h"

// Why a read could not go on, told to Python as an exception of the matching kind.
struct ReadProblem {
  enum Kind {
    kNone,
    kMissing,      // the file does not exist: FileNotFoundError
    kNotOpened,    // it exists but did not open: OSError
    kNoDataBlock,  // its first block is not a data block, and force was not given: FormatError
    kDamaged,      // its compressed data are damaged: DamagedDataError, after the data before it
  };
  Kind kind = kNone;
  std::string file;
  std::string message;

  explicit operator bool() const { return kind != kNone; }
};

// Before anything is decoded: a regular file that is missing, or whose first block is not a data
// block (unless `force`). Standard input, pipes and devices are looked at when opened.
ReadProblem CheckBeforeReading(const std::string& file, bool force);
// Right after `reader` opened `file`: why it did not open, or, for a file read only once, why its
// first block is refused.
ReadProblem CheckOpened(TTudaData& reader, const std::string& file, bool force);
// After `reader` read `file` to its end: the damage its byte source met, told in `damageLine`.
ReadProblem CheckDamage(const TTudaData& reader, const std::string& file, const std::string& damageLine);
// The damage of `file`, told in the byte source's line `damageLine`.
ReadProblem Damage(const std::string& file, const std::string& damageLine);
