#include "tools/OutputFile.h"

#include <cerrno>
#include <cstring>

bool WriteOutputFile(const std::string& path, const std::function<bool(std::FILE*)>& write, std::string& error)
{
  std::FILE* stream = std::fopen(path.c_str(), "wb");
  bool written = stream != nullptr && write(stream);
  written = stream != nullptr && std::fclose(stream) == 0 && written;
  if (!written) error = "cannot write " + path + ": " + std::strerror(errno);
  return written;
}
