#include "tools/process/ProgramProcess.h"
#include "tools/Tuda.h"
#include "tools/console/StandardOutput.h"

// Standard output through a buffer that keeps the reason of a failed write, written in blocks
// unless it is a terminal.
int main(int argc, char** argv)
{
  PrepareProcess();
  const StandardOutput standardOutput;
  return RunTuda(std::vector<std::string>(argv + 1, argv + argc));
}
