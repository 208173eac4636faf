#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "tools/StandardOutput.h"
#include "tools/Tuda.h"

namespace {

// A closed standard descriptor would be given to the next file opened, and the program's lines
// would be written into it. Each is held on the null device, opened for the opposite access, so
// that reading a closed standard input and writing a closed standard output still fail as they
// would have (EBADF).
void HoldClosedStandardDescriptors()
{
  for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (fcntl(descriptor, F_GETFD) >= 0) continue;
    const int held = open("/dev/null", descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    if (held >= 0 && held != descriptor) {
      dup2(held, descriptor);
      close(held);
    }
  }
}

}  // namespace

// Standard output through a buffer that keeps the reason of a failed write, written in blocks
// unless it is a terminal. A closed pipe ends the program quietly, as it ends other command-line
// tools, even when the caller ignored the signal.
int main(int argc, char** argv)
{
  HoldClosedStandardDescriptors();
  signal(SIGPIPE, SIG_DFL);
  const StandardOutput standardOutput;
  return RunTuda(std::vector<std::string>(argv + 1, argv + argc));
}
