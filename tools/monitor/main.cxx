#include <signal.h>

#include <string>
#include <vector>

#include "tools/cli/CommandLine.h"
#include "tools/console/OutputCheck.h"
#include "tools/monitor/MonitorCommand.h"

// `tuda-monitor ARGS`, which `tuda monitor ARGS` runs in its place. A client that goes away
// mid-reply must not end the program: the server sees the failed write instead.
int main(int argc, char** argv)
{
  signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return FinishOutput(kMonitorCommand.name, RunSubcommand(kMonitorCommand.name, *kMonitorCommand.make(), args));
}
