#pragma once

#include <string>
#include <vector>

#include "python/ReadProblem.h"
#include "tools/cli/ZstdWindowOption.h"

// `tuda stat` and `tuda check` for one file, writing nothing.

// The object `tuda stat --json` writes for the file, as JSON text. Throws Interrupted on Ctrl-C.
std::string StatJson(const std::string& file, bool force, const ZstdWindowOption& window, ReadProblem& problem);

struct CheckResult {
  bool looksRight = false;
  std::string verdict;
  std::vector<std::string> evidence;
  std::string codec;
  bool damaged = false;
  bool readToEnd = false;
  uint64_t blocks = 0;
};

// The verdict and evidence of `tuda check` on the first blocks of the file, or on all of them.
// Throws Interrupted on Ctrl-C.
CheckResult CheckOne(const std::string& file, bool allBlocks, const ZstdWindowOption& window, ReadProblem& problem);
