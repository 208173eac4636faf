#include "tools/console/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "flow/KXBase.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/OutputCheck.h"

namespace {

constexpr int kWatchable[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kWatchableCount = sizeof kWatchable / sizeof kWatchable[0];

// The handler's whole state. Lock-free atomics, so the handler may read and write them.
std::atomic<bool> interrupted{false};
std::atomic<int> firstSignal{0};
std::atomic<KXBase*> nodeToStop{nullptr};
std::atomic<const char*> fileToRemove{nullptr};
struct sigaction previousActions[kWatchableCount] {};
bool installed[kWatchableCount] {};

// Only async-signal-safe work: atomic stores, the node's Stop (one atomic store), unlink,
// sigaction and raise.
void OnInterrupt(int signalNumber)
{
  int none = 0;
  if (firstSignal.compare_exchange_strong(none, signalNumber)) {
    interrupted.store(true);
    KXBase* node = nodeToStop.load();
    if (node != nullptr) node->Stop();
    return;
  }
  const char* path = fileToRemove.load();
  if (path != nullptr) unlink(path);
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signalNumber, &fallback, nullptr);
  raise(signalNumber);
}

}  // namespace

// SA_RESTART, so that a write to standard error or a pipe caught by the signal goes on instead of
// failing the stream and losing the closing lines; the node's pause and a wait in poll return at
// once all the same, so that the command comes back to look at the flag. A program started with
// a signal ignored (a background job of a shell, nohup) leaves it ignored.
InterruptWatch::InterruptWatch(WatchedSignals watched)
{
  interrupted.store(false);
  firstSignal.store(0);
  const int count = watched == WatchedSignals::kCtrlC ? 1 : kWatchableCount;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int index = 0; index < count; ++index) {
    sigaction(kWatchable[index], nullptr, &previousActions[index]);
    installed[index] = previousActions[index].sa_handler != SIG_IGN;
    if (installed[index]) sigaction(kWatchable[index], &action, nullptr);
  }
}

InterruptWatch::~InterruptWatch()
{
  for (int index = 0; index < kWatchableCount; ++index) {
    if (installed[index]) sigaction(kWatchable[index], &previousActions[index], nullptr);
    installed[index] = false;
  }
  nodeToStop.store(nullptr);
  fileToRemove.store(nullptr);
}

bool InterruptWatch::Interrupted() const { return interrupted.load(std::memory_order_relaxed); }

const std::atomic<bool>& InterruptWatch::Flag() const { return interrupted; }

void InterruptWatch::StopNode(KXBase* node) { nodeToStop.store(node); }

void InterruptWatch::RemoveOnSecondInterrupt(const char* path) { fileToRemove.store(path); }

bool KeepGoing(const InterruptWatch& watch) { return !watch.Interrupted() && !OutputFailed(); }

int ReportInterrupted(const std::string& name)
{
  // One write: a node left running may still be writing its own lines.
  std::cerr << "tuda " + name + ": interrupted\n" << std::flush;
  const int signalNumber = firstSignal.load();
  return signalNumber == 0 || signalNumber == SIGINT ? kExitInterrupted : kExitSignalBase + signalNumber;
}

int EndStatus(const InterruptWatch& watch, const std::string& name, bool allRead)
{
  if (watch.Interrupted()) return ReportInterrupted(name);
  return allRead ? kExitOk : kExitDataError;
}
