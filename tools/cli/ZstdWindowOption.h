#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

#include "reader/TTudaData.h"

// `--zstd-window-log N` of the commands that own a reader: allows zstd frames a window of up to
// 2^N bytes, N within the zstd library's range and the window within the machine's memory;
// anything else is a usage error. Declared only in a build that reads compressed files.
class ZstdWindowOption {
 public:
  void Declare(CLI::App& app);
  // What the option sets, for a caller without a command line: empty when a window of 2^`log`
  // bytes is allowed (0: the library's default), else why not.
  std::string Set(uint64_t log);
  // Tells `reader` before it opens a file; nothing when the option was not given.
  void Install(TTudaData& reader) const { reader.Source().SetZstdWindowLog(static_cast<unsigned>(log)); }

 private:
  uint64_t log = 0;
};
