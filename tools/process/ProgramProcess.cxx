#include "tools/process/ProgramProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tools/cli/CommandLine.h"
#include "tools/console/OutputCheck.h"
#include "tools/console/StandardOutput.h"

// A closed standard descriptor would be given to the next file opened, and the program's lines
// would be written into it. Each is held on the null device, opened for the opposite access, so
// that reading a closed standard input and writing a closed standard output still fail as they
// would have (EBADF).
void PrepareProcess()
{
  for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (fcntl(descriptor, F_GETFD) >= 0) continue;
    const int held = open("/dev/null", descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    if (held >= 0 && held != descriptor) {
      dup2(held, descriptor);
      close(held);
    }
  }
  signal(SIGPIPE, SIG_DFL);
}

int RunAsProgram(const CommandEntry& entry, int argc, char** argv)
{
  PrepareProcess();
  const StandardOutput standardOutput;
  const std::vector<std::string> args(argv + 1, argv + argc);
  return FinishOutput(entry.name, RunSubcommand(entry.name, *entry.make(), args));
}
