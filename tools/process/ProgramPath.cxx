#include "tools/process/ProgramPath.h"

#include <unistd.h>

#include <vector>

std::string BesideProgram(const std::string& fileName)
{
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return fileName;
  const std::string program(path.data(), static_cast<size_t>(length));
  return program.substr(0, program.rfind('/') + 1) + fileName;
}
