#include "tools/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>

#include "flow/KXBase.h"
#include "tools/ExitStatus.h"
#include "tools/OutputCheck.h"

namespace {

// The handler's whole state. Lock-free atomics, so the handler may read and write them.
std::atomic<bool> interrupted{false};
std::atomic<KXBase*> nodeToStop{nullptr};
std::atomic<const char*> fileToRemove{nullptr};
struct sigaction previousAction {};

// Only async-signal-safe work: atomic stores, the node's Stop (one atomic store), unlink,
// sigaction and raise.
void OnInterrupt(int signalNumber)
{
  if (!interrupted.exchange(true)) {
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

// No SA_RESTART: the node's pause returns at once, so that the command comes back to look at the
// flag. A program started with Ctrl-C ignored (a background job of a shell) leaves it ignored.
InterruptWatch::InterruptWatch()
{
  interrupted.store(false);
  sigaction(SIGINT, nullptr, &previousAction);
  if (previousAction.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

InterruptWatch::~InterruptWatch()
{
  sigaction(SIGINT, &previousAction, nullptr);
  nodeToStop.store(nullptr);
  fileToRemove.store(nullptr);
}

bool InterruptWatch::Interrupted() const { return interrupted.load(std::memory_order_relaxed); }

void InterruptWatch::StopNode(KXBase* node) { nodeToStop.store(node); }

void InterruptWatch::RemoveOnSecondInterrupt(const char* path) { fileToRemove.store(path); }

bool KeepGoing(const InterruptWatch& watch) { return !watch.Interrupted() && !OutputFailed(); }

int ReportInterrupted(const std::string& name)
{
  std::cerr << "tuda " << name << ": interrupted" << std::endl;
  return kExitInterrupted;
}

int EndStatus(const InterruptWatch& watch, const std::string& name, bool allRead)
{
  if (watch.Interrupted()) return ReportInterrupted(name);
  return allRead ? kExitOk : kExitDataError;
}
