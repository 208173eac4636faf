#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "tools/DescriptorBuffer.h"
#include "tools/OutputCheck.h"
#include "tools/Tuda.h"

// Standard output through a buffer that keeps the reason of a failed write. A closed pipe ends
// the program quietly, as it ends other command-line tools, even when the caller ignored the
// signal.
int main(int argc, char** argv)
{
  signal(SIGPIPE, SIG_DFL);
  DescriptorBuffer standardOutput(STDOUT_FILENO);
  std::streambuf* const plain = std::cout.rdbuf(&standardOutput);
  WatchStandardOutput(&standardOutput);
  const int status = RunTuda(std::vector<std::string>(argv + 1, argv + argc));
  WatchStandardOutput(nullptr);
  std::cout.rdbuf(plain);
  return status;
}
