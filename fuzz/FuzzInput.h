#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/TestSupport.h"

// What both fuzz targets share: the input written as a data file. They keep the console quiet
// (QuietConsole), so that millions of runs do not flood the terminal with the reader's lines.

// Writes the fuzz input to this process's own temporary data file and returns its name.
inline std::string WriteInputFile(const uint8_t* data, size_t size)
{
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tuda-fuzz-" + std::to_string(getpid()) + ".dat");
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path.string();
}
