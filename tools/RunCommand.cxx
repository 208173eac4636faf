#include "tools/RunCommand.h"

#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "plugin/UKMidasFile.h"
#include "tools/Options.h"
#include "tools/RunReceiver.h"

namespace {

using Clock = std::chrono::steady_clock;
using NewObject = KXBase* (*)(std::string&);
using DelObject = void (*)(void*);

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
  std::string inputName;  // "file" or "listfile"
  std::string inputValue;
  int steps = 0;
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
  options.inputName = byFile ? UKMidasFile::kFileInput : UKMidasFile::kListFileInput;
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
  options.steps = static_cast<int>(static_cast<uint32_t>(steps));
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

// The plug-in built beside the running program.
std::string DefaultPluginPath() {
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return kPluginFileName;
  const std::string program(path.data(), static_cast<size_t>(length));
  return program.substr(0, program.rfind('/') + 1) + kPluginFileName;
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

// ---- Plug-in -----------------------------------------------------------------------------------

struct Plugin {
  void* library = nullptr;
  NewObject newObject = nullptr;
  DelObject delObject = nullptr;
};

bool LoadPlugin(const std::string& path, Plugin& plugin, std::string& error) {
  plugin.library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (plugin.library == nullptr) {
    error = "cannot load plug-in: " + std::string(dlerror());
    return false;
  }
  plugin.newObject = reinterpret_cast<NewObject>(dlsym(plugin.library, kNewObjectSymbol));
  plugin.delObject = reinterpret_cast<DelObject>(dlsym(plugin.library, kDelObjectSymbol));
  if (plugin.newObject == nullptr || plugin.delObject == nullptr) {
    error = "plug-in " + path + " lacks newObject or delObject";
    dlclose(plugin.library);
    return false;
  }
  return true;
}

// Through the node's input records, as the framework delivers any input value.
void Configure(KXBase& node, const RunOptions& options) {
  int steps = options.steps;
  float interval = options.interval;
  std::vector<char> text(options.inputValue.begin(), options.inputValue.end());
  text.push_back('\0');
  node.SetInput(UKMidasFile::kStepsInput, &steps);
  node.SetInput(UKMidasFile::kIntervalInput, &interval);
  node.SetInput(options.inputName, text.data());
}

// ---- Interrupt ---------------------------------------------------------------------------------

// The node that Ctrl-C stops. A signal handler reaches nothing but objects of static storage, so
// this one pointer is file-wide; it is set only while Start runs.
std::atomic<KXBase*> interruptTarget{nullptr};

// Only a lock-free atomic store happens here: Stop lowers the node's running flag.
void StopOnInterrupt(int) {
  KXBase* node = interruptTarget.load();
  if (node != nullptr) node->Stop();
}

// A second Ctrl-C ends the program the ordinary way, should the run not come back.
struct sigaction CatchInterrupt(KXBase& node) {
  interruptTarget.store(&node);
  struct sigaction action {};
  action.sa_handler = StopOnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  sigaction(SIGINT, &action, &previous);
  return previous;
}

void ReleaseInterrupt(const struct sigaction& previous) {
  sigaction(SIGINT, &previous, nullptr);
  interruptTarget.store(nullptr);
}

// ---- The node's own members -------------------------------------------------------------------
// The node is of the class this program was built with, so its members can be read. The module
// keeps its classes' type information to itself, so the sanitizer's dynamic-type check could not
// recognise the class across the boundary: these two reads go unchecked.

__attribute__((no_sanitize("vptr"))) bool FileOpen(const KXBase& node) {
  return static_cast<const UKMidasFile&>(node).fileOpen;
}

__attribute__((no_sanitize("vptr"))) double MegabytesRead(const KXBase& node) {
  const uint32_t blocks = static_cast<const UKMidasFile&>(node).tudaData.fBlocksRead;
  return static_cast<double>(blocks) * TEGBlockSize / kBytesPerMegabyte;
}

// ---- Statistics --------------------------------------------------------------------------------

struct RunStats {
  const RunReceiver* receiver;
  const KXBase* node;
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

// Now and then: the events so far and the data read, drawn over itself.
void ShowProgress(RunStats& stats) {
  if (stats.receiver->Events() % kProgressEvery != 0) return;
  const Clock::time_point now = Clock::now();
  if (Seconds(stats.lastProgress, now) < kProgressSeconds) return;
  stats.lastProgress = now;
  stats.progressShown = true;
  char line[128];
  std::snprintf(line, sizeof line, "\rtuda run: %llu events, %.1f MB read",
                static_cast<unsigned long long>(stats.receiver->Events()),
                MegabytesRead(*stats.node));
  std::cerr << line << std::flush;
}

void ShowSummary(const RunStats& stats, Clock::time_point end) {
  const double seconds = Seconds(stats.start, end);
  const double megabytes = MegabytesRead(*stats.node);
  const double rate = seconds > 0.0 ? megabytes / seconds : 0.0;
  if (stats.progressShown) std::cerr << "\r\033[K";
  char line[256];
  std::snprintf(line, sizeof line,
                "tuda run: %llu events, %llu ADC items, %llu TDC items, %.3f MB read, %.3f s, "
                "%.1f MB/s",
                static_cast<unsigned long long>(stats.receiver->Events()),
                static_cast<unsigned long long>(stats.receiver->AdcItems()),
                static_cast<unsigned long long>(stats.receiver->TdcItems()), megabytes, seconds,
                rate);
  std::cerr << line << std::endl;
}

// ---- The run -----------------------------------------------------------------------------------

// Init, connection, Start: the host's order. The node's FlowEvent passes to `event`, as the
// node never frees it. Returns whether the data file was open.
bool RunGraph(KXBase& node, const RunOptions& options, std::unique_ptr<FlowEvent>& event) {
  RunReceiver receiver(kReceiverName, options.print, std::cout);
  node.Init();
  node.AddReceiver(0, &receiver, 0);
  RunStats stats{&receiver, &node, Clock::now(), Clock::now()};
  if (ShowsProgress(options)) receiver.afterEvent = [&stats] { ShowProgress(stats); };
  const struct sigaction previous = CatchInterrupt(node);
  node.Start();
  ReleaseInterrupt(previous);
  if (options.stats) ShowSummary(stats, Clock::now());
  event.reset(receiver.SetupEvent());
  return FileOpen(node);
}

int RunRun(const std::vector<std::string>& args) {
  RunOptions options;
  std::string error;
  if (!ReadRunOptions(args, options, error)) return UsageError(kCommandName, error);
  Plugin plugin;
  if (!LoadPlugin(options.pluginPath, plugin, error)) return DataError(kCommandName, error);
  KXBase* node = plugin.newObject(options.nodeName);
  if (node == nullptr) {
    dlclose(plugin.library);
    return DataError(kCommandName, "the plug-in made no node");
  }
  Configure(*node, options);
  std::unique_ptr<FlowEvent> event;
  const bool fileOpen = RunGraph(*node, options, event);
  plugin.delObject(node);
  // With the node gone, nothing holds its FlowEvent any more.
  event.reset();
  dlclose(plugin.library);
  return fileOpen ? kExitOk : kExitDataError;
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
