#include <signal.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tools/CommandLine.h"
#include "tools/OutputCheck.h"
#include "tools/monitor/MonitorCommand.h"

// `tuda-monitor ARGS`, which `tuda monitor ARGS` runs in its place. A client that goes away
// mid-reply must not end the program: the server sees the failed write instead.
int main(int argc, char** argv)
{
  signal(SIGPIPE, SIG_IGN);
  const std::unique_ptr<Command> command = kMonitorCommand.make();
  const std::unique_ptr<CLI::App> app = MakeCommandApp(kMonitorCommand.name);
  command->Declare(*app);
  int status = 0;
  if (!ParseCommandLine(*app, kMonitorCommand.name, std::vector<std::string>(argv + 1, argv + argc), status)) {
    return FinishOutput(kMonitorCommand.name, status);
  }
  return FinishOutput(kMonitorCommand.name, command->Run());
}
