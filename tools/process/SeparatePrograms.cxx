#include "tools/process/SeparatePrograms.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "tools/console/ExitStatus.h"
#include "tools/console/OutputCheck.h"
#include "tools/process/ProgramPath.h"

int RunProgram(const ProgramEntry& entry, const std::vector<std::string>& args)
{
  const std::string path = BesideProgram(entry.program);
  std::vector<char*> argv{const_cast<char*>(path.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  // What the caller buffered must come out before this process is replaced.
  WriteOutStandardOutput();
  std::cerr.flush();
  execv(path.c_str(), argv.data());
  std::cerr << "tuda " << entry.name << ": cannot run " << path << ": " << std::strerror(errno) << std::endl;
  return kExitDataError;
}
