#include "tools/input/InputName.h"

#include <sys/stat.h>

#include "reader/TByteSource.h"

bool IsRegularFile(const std::string& name, uint64_t& size)
{
  struct stat status {};
  if (name == kStandardInputName || stat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  size = static_cast<uint64_t>(status.st_size);
  return true;
}
