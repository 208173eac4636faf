#include "tools/RunCommand.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "reader/TTudaData.h"
#include "tools/NodeSession.h"
#include "tools/Options.h"
#include "tools/RunReceiver.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kCommandName = "run";
constexpr const char* kDefaultNodeName = "src";
constexpr const char* kReceiverName = "print";
constexpr uint64_t kMaxSteps = 4294967295ULL;
constexpr uint64_t kProgressEvery = 4096;  // events between looks at the clock
constexpr double kProgressSeconds = 0.5;

const std::vector<OptionRule> kRunOptions{{"--file", true},   {"--listfile", true},
                                          {"--steps", true},  {"--interval", true},
                                          {"--name", true},   {"--plugin", true},
                                          {"--print", true},  {"--stats", false}};

struct RunOptions {
  bool byListFile = false;
  std::string inputValue;
  uint32_t steps = 0;
  float interval = 0.0f;
  std::string nodeName = kDefaultNodeName;
  std::string pluginPath;
  PrintMode print = PrintMode::kValues;
  bool stats = false;
};

// ---- Options -----------------------------------------------------------------------------------

bool ReadSource(const ParsedArgs& parsed, RunOptions& options, std::string& error) {
  if (parsed.Has("--file") == parsed.Has("--listfile")) {
    error = "give --file or --listfile, one of them";
    return false;
  }
  const bool byFile = parsed.Has("--file");
  options.byListFile = !byFile;
  options.inputValue = parsed.options.at(byFile ? "--file" : "--listfile");
  return true;
}

// The count goes to the node's int input bit for bit, so 4294967295 arrives as -1.
bool ReadSteps(const ParsedArgs& parsed, RunOptions& options, std::string& error) {
  uint64_t steps = 0;
  if (!CountOption(parsed, "--steps", 0, 0, steps, error)) return false;
  if (steps > kMaxSteps) {
    error = "--steps needs a whole number up to " + std::to_string(kMaxSteps);
    return false;
  }
  options.steps = static_cast<uint32_t>(steps);
  return true;
}

// Any number the float input can hold; the node decides what a negative one means.
bool ReadInterval(const ParsedArgs& parsed, RunOptions& options, std::string& error) {
  if (!parsed.Has("--interval")) return true;
  const std::string& text = parsed.options.at("--interval");
  char* end = nullptr;
  errno = 0;
  options.interval = std::strtof(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE) {
    error = "--interval needs a number of seconds, not '" + text + "'";
    return false;
  }
  return true;
}

bool ReadPrint(const ParsedArgs& parsed, RunOptions& options, std::string& error) {
  if (!parsed.Has("--print")) return true;
  const std::string& mode = parsed.options.at("--print");
  if (mode == "values") {
    options.print = PrintMode::kValues;
  } else if (mode == "types") {
    options.print = PrintMode::kTypes;
  } else if (mode == "none") {
    options.print = PrintMode::kNone;
  } else {
    error = "--print needs values, types or none, not '" + mode + "'";
    return false;
  }
  return true;
}

bool ReadRunOptions(const std::vector<std::string>& args, RunOptions& options, std::string& error) {
  ParsedArgs parsed;
  if (!ParseArgs(args, kRunOptions, parsed, error)) return false;
  if (!parsed.positional.empty()) {
    error = "unexpected argument '" + parsed.positional[0] + "'";
    return false;
  }
  if (!ReadSource(parsed, options, error) || !ReadSteps(parsed, options, error) ||
      !ReadInterval(parsed, options, error) || !ReadPrint(parsed, options, error)) {
    return false;
  }
  if (parsed.Has("--name")) options.nodeName = parsed.options.at("--name");
  options.pluginPath = parsed.Has("--plugin") ? parsed.options.at("--plugin") : DefaultPluginPath();
  options.stats = parsed.Has("--stats");
  return true;
}

// ---- Statistics --------------------------------------------------------------------------------

struct RunStats {
  const RunReceiver* receiver;
  Clock::time_point start;
  Clock::time_point lastProgress;
  bool progressShown = false;
};

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// A progress line only where standard error is a terminal and standard output is not: the
// node's lines and the listings would break into it.
bool ShowsProgress(const RunOptions& options) {
  return options.stats && isatty(STDERR_FILENO) && !isatty(STDOUT_FILENO);
}

// Now and then: the events so far, drawn over itself.
void ShowProgress(RunStats& stats) {
  if (stats.receiver->Events() % kProgressEvery != 0) return;
  const Clock::time_point now = Clock::now();
  if (Seconds(stats.lastProgress, now) < kProgressSeconds) return;
  stats.lastProgress = now;
  stats.progressShown = true;
  std::cerr << "\rtuda run: " << stats.receiver->Events() << " events" << std::flush;
}

// The size of a regular data file, or a negative number when it has none.
double FileMegabytes(const std::string& path) {
  struct stat status {};
  if (path.empty() || stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return -1.0;
  return static_cast<double>(status.st_size) / kBytesPerMegabyte;
}

// The volume is the file's size, known only for a regular file that the run read to its end.
void ShowSummary(const RunStats& stats, double megabytes, Clock::time_point end) {
  const double seconds = Seconds(stats.start, end);
  if (stats.progressShown) std::cerr << "\r\033[K";
  char line[256];
  int length = std::snprintf(line, sizeof line, "tuda run: %llu events, %llu ADC items, %llu TDC items",
                             static_cast<unsigned long long>(stats.receiver->Events()),
                             static_cast<unsigned long long>(stats.receiver->AdcItems()),
                             static_cast<unsigned long long>(stats.receiver->TdcItems()));
  if (megabytes >= 0.0) {
    length += std::snprintf(line + length, sizeof line - length, ", %.3f MB read", megabytes);
  }
  length += std::snprintf(line + length, sizeof line - length, ", %.3f s", seconds);
  if (megabytes >= 0.0) {
    std::snprintf(line + length, sizeof line - length, ", %.1f MB/s", seconds > 0.0 ? megabytes / seconds : 0.0);
  }
  std::cerr << line << std::endl;
}

// ---- The run -----------------------------------------------------------------------------------

// Whether the node stopped at the end of its data: neither Ctrl-C nor the step limit ended it.
bool ReadToEnd(const RunOptions& options, const RunReceiver& receiver, bool interrupted) {
  return !interrupted && (options.steps == 0 || receiver.Events() < options.steps);
}

int RunRun(const std::vector<std::string>& args) {
  RunOptions options;
  std::string error;
  if (!ReadRunOptions(args, options, error)) return UsageError(kCommandName, error);
  NodeSession session;
  if (!session.Open(options.pluginPath, options.nodeName, error)) return DataError(kCommandName, error);
  session.SetSteps(options.steps);
  session.SetInterval(options.interval);
  if (options.byListFile) {
    session.SetListFile(options.inputValue);
  } else {
    session.SetFile(options.inputValue);
  }
  RunReceiver receiver(kReceiverName, options.print, std::cout);
  session.Connect(receiver);
  RunStats stats{&receiver, Clock::now(), Clock::now()};
  if (ShowsProgress(options)) receiver.afterEvent = [&stats] { ShowProgress(stats); };
  const bool interrupted = session.Start();
  if (options.stats) {
    const bool whole = ReadToEnd(options, receiver, interrupted);
    ShowSummary(stats, whole ? FileMegabytes(session.DataFile()) : -1.0, Clock::now());
  }
  return session.DataFile().empty() ? kExitDataError : kExitOk;
}

}  // namespace

const Command kRunCommand{"run", "Run the source node plug-in on a data file",
                          R"(Usage: tuda run (--file FILE | --listfile LIST) [--steps N] [--interval S]
                [--name NAME] [--plugin PATH] [--print values|types|none] [--stats]

Loads the source node plug-in, sets its inputs, connects one receiver to its
output "fevent" and runs it: the node's own lines, then what the receiver
lists. Ctrl-C stops the run after the event in hand.

  --file FILE       the data file (tried again in $UKMIDASDATA when absent)
  --listfile LIST   a text file whose first line names the data file
  --steps N         send at most N events (default 0: until the data end)
  --interval S      pause S seconds after each event (default 0)
  --name NAME       the node's instance name (default src)
  --plugin PATH     the plug-in (default: UKMidasFile.kxp beside tuda)
  --print MODE      values: the event types at connection, then every event
                    (default); types: the types only; none: nothing
  --stats           a summary line on standard error at the end (events, ADC
                    and TDC items, MB read, seconds, MB/s), and a progress
                    line while it runs when standard error is a terminal
                    and standard output is not

Exit status: 0 when the data file opened, 1 when it did not or the plug-in
could not be loaded, 2 on a usage error.
)",
                          RunRun};
