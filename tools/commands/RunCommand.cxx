#include "tools/commands/Commands.h"

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

#include "reader/TTudaData.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/OptionChecks.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/Interrupt.h"
#include "tools/console/Messages.h"
#include "tools/console/OutputCheck.h"
#include "tools/console/Progress.h"
#include "tools/input/DataOpen.h"
#include "tools/input/FirstBlockCheck.h"
#include "tools/input/InputName.h"
#include "tools/session/NodeSession.h"
#include "tools/session/RunReceiver.h"
#include "tools/session/RunWarning.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kName = "run";
constexpr const char* kDefaultNodeName = "src";
constexpr const char* kReceiverName = "print";
// The largest pause whose microseconds fit the node's 32-bit count; below a microsecond none.
constexpr double kLongestInterval = 4294.967295;
constexpr double kShortestInterval = 1e-6;
// How long after Ctrl-C the node may take to reach its next event before the program ends
// without it.
constexpr std::chrono::seconds kStopGrace{1};

const std::map<std::string, PrintMode> kPrintModes{
    {"values", PrintMode::kValues}, {"types", PrintMode::kTypes}, {"none", PrintMode::kNone}};

// The size of a regular data file in megabytes, or a negative number when it has none.
double FileMegabytes(const std::string& path)
{
  uint64_t size = 0;
  return IsRegularFile(path, size) ? static_cast<double>(size) / kBytesPerMegabyte : -1.0;
}

class RunCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Loads the source node plug-in, sets its inputs, connects one receiver to its\n"
        "output \"fevent\" and runs it: the node's own lines, then what the receiver\n"
        "lists. Ctrl-C stops the run after the event in hand.");
    CLI::Option* file = app.add_option("--file", fileName,
                                       "the data file (tried again in $UKMIDASDATA when absent), - for standard input")
                            ->check(NotEmpty());
    CLI::Option* list = app.add_option("--listfile", listName, "a text file whose first line names the data file")
                            ->check(NotEmpty());
    file->excludes(list);
    AddCount(app, "--steps", steps, 0, NodeSession::kMostSteps, "send at most N events (default 0: until the data end)");
    AddDecimal(app, "--interval", interval, kLongestInterval, "pause S seconds after each event (default 0)")
        ->type_name("S");
    app.add_option("--name", nodeName, "the node's instance name (default src)")->check(NotEmpty());
    app.add_option("--plugin", pluginPath, "the plug-in (default: UKMidasFile.kxp beside tuda)")
        ->check(NotEmpty());
    app.add_option("--print", printName,
                   "values: the event types at connection, then every event (default); types: the "
                   "types only; none: nothing")
        ->check(CLI::IsMember(kPrintModes))
        ->type_name("MODE");
    app.add_flag("--stats", stats,
                 "a summary line on standard error at the end: events, ADC and TDC items, seconds, "
                 "and for a file read to its end MB read and MB/s")
        ->disable_flag_override();
    app.footer(
        "A progress line (events, events per second, time elapsed) is shown on standard\n"
        "error while it is a terminal, unless the events are listed on that terminal.\n\n"
        "Exit status: 0 when the data file opened and all output was written, 1 when it\n"
        "did not, the plug-in could not be loaded or standard output could not be written,\n"
        "2 on a usage error, 130 after Ctrl-C.");
    firstBlock.Declare(app, FirstBlockCheck::kEndsTheCommand);
  }

  int Run() override
  {
    if (fileName.empty() == listName.empty()) return UsageError(kName, "give --file or --listfile, one of them");
    const std::string dataFile = NodeDataFile(fileName, listName);
    // The node would look for a closed standard input's "-" in the data directory and run on
    // nothing: refused before it starts.
    if (dataFile == kStandardInputName && !StandardInputReadable()) {
      std::cerr << OpenFailureLine(kName, dataFile, EBADF) << std::endl;
      return kExitDataError;
    }
    if (!firstBlock.Passes({dataFile})) return kExitDataError;
    NodeSession session;
    std::string error;
    if (!session.Open(pluginPath, nodeName, error)) {
      return DataError(kName, error);
    }
    session.SetSteps(static_cast<uint32_t>(steps));
    // Below a microsecond the node would pause for none; the float input would keep a trace.
    session.SetInterval(interval < kShortestInterval ? 0.0f : static_cast<float>(interval));
    if (listName.empty()) {
      session.SetFile(fileName);
      if (session.DataFile().empty()) TellWhyNotOpened(kName, fileName);
    } else {
      session.SetListFile(listName);
    }
    WarnIfFileLooksWrong(kName, session.DataFile());
    const PrintMode mode = kPrintModes.at(printName);
    RunReceiver receiver(kReceiverName, mode, std::cout);
    session.Connect(receiver);

    const NodeEnd end = RunNode(session, receiver, mode);
    const bool interrupted = end != NodeEnd::kEnded;
    if (stats) ShowSummary(receiver, ReadToEnd(receiver, interrupted) ? FileMegabytes(session.DataFile()) : -1.0);
    if (end == NodeEnd::kAbandoned) LeaveNodeRunning(ReportInterrupted(kName));
    if (interrupted) return ReportInterrupted(kName);
    return session.DataFile().empty() ? kExitDataError : kExitOk;
  }

 private:
  // The node is still inside its Start, on its own thread, with the session and the receiver in
  // use: the program ends here, with what standard output holds written out, and nothing torn
  // down under the node.
  [[noreturn]] static void LeaveNodeRunning(int status)
  {
    WriteOutStandardOutput();
    std::_Exit(status);
  }

  // Start, with the progress line; a lost write to standard output stops the node too.
  NodeEnd RunNode(NodeSession& session, RunReceiver& receiver, PrintMode mode)
  {
    KXBase& node = session.Node();
    ProgressLine progress(
        kName, ProgressUnit::kEvents, [&receiver] { return ProgressAmount{receiver.Events(), 0}; },
        mode == PrintMode::kValues, interval > 0.0 ? 1 : ProgressLine::kEventsPerLook);
    // The node pauses after each event once the receiver has it: what it printed comes out first.
    const bool pauses = interval >= kShortestInterval;
    receiver.afterEvent = [&progress, &node, pauses] {
      progress.Tick();
      if (pauses) WriteOutStandardOutput();
      if (OutputFailed()) node.Stop();
    };
    start = Clock::now();
    const NodeEnd ending = session.StartOrAbandon(kStopGrace);
    end = Clock::now();
    // An abandoned node may still reach its next event: its hook stays as it is.
    if (ending != NodeEnd::kAbandoned) receiver.afterEvent = nullptr;
    return ending;
  }

  // Whether the node stopped at the end of its data: neither Ctrl-C nor the step limit ended it.
  bool ReadToEnd(const RunReceiver& receiver, bool interrupted) const
  {
    return !interrupted && (steps == 0 || receiver.Events() < steps);
  }

  // The volume only for a regular file read to its end: its size.
  void ShowSummary(const RunReceiver& receiver, double megabytes) const
  {
    const double seconds = std::chrono::duration<double>(end - start).count();
    char line[256];
    int length = std::snprintf(line, sizeof line, "tuda run: %llu events, %llu ADC items, %llu TDC items",
                               static_cast<unsigned long long>(receiver.Events()),
                               static_cast<unsigned long long>(receiver.AdcItems()),
                               static_cast<unsigned long long>(receiver.TdcItems()));
    if (megabytes >= 0.0) {
      length += std::snprintf(line + length, sizeof line - length, ", %.3f MB read", megabytes);
    }
    length += std::snprintf(line + length, sizeof line - length, ", %.3f s", seconds);
    if (megabytes >= 0.0) {
      std::snprintf(line + length, sizeof line - length, ", %.1f MB/s", seconds > 0.0 ? megabytes / seconds : 0.0);
    }
    std::cerr << line << std::endl;
  }

  std::string fileName;
  std::string listName;
  uint64_t steps = 0;
  double interval = 0.0;
  std::string nodeName = kDefaultNodeName;
  std::string pluginPath;
  std::string printName = "values";
  bool stats = false;
  FirstBlockCheck firstBlock{kName};
  Clock::time_point start;
  Clock::time_point end;
};

}  // namespace

const CommandEntry kRunCommand{kName, "Run the source node plug-in on a data file", MakeCommand<RunCommand>};
