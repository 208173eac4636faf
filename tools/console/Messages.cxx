#include "tools/console/Messages.h"

#include <iostream>

#include "tools/console/ExitStatus.h"

int UsageError(const std::string& name, const std::string& message)
{
  std::cerr << "tuda " << name << ": " << message << " (see tuda help " << name << ")" << std::endl;
  return kExitUsage;
}

int DataError(const std::string& name, const std::string& message)
{
  std::cerr << (name.empty() ? "tuda" : "tuda " + name) << ": " << message << std::endl;
  return kExitDataError;
}
