#pragma once

#include <atomic>
#include <string>

class KXBase;

// Which signals a watch takes over: Ctrl-C alone, or also the signals that end a batch job or
// a closed terminal's programs (SIGTERM, SIGHUP), for a command that must not leave a partial
// file behind.
enum class WatchedSignals { kCtrlC, kCtrlCAndEnd };

// Ctrl-C for a long subcommand. While an InterruptWatch lives, the first watched signal only
// raises a flag that the command looks at between blocks or events, and stops the node given to
// `StopNode` through its Stop, which only lowers the node's running flag. A second one ends
// the program at once, by the signal itself, after removing the file given to
// `RemoveOnSecondInterrupt`. A signal ignored when the program started stays ignored.
//
// A signal handler reaches only objects of static storage, so the flag, the node and the file
// name live in Interrupt.cxx: one watch at a time, made and ended on the main thread. The node
// and the file name must stay alive while the watch may use them.
class InterruptWatch {
 public:
  explicit InterruptWatch(WatchedSignals watched = WatchedSignals::kCtrlC);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // Whether a watched signal came since the watch began. One relaxed atomic load: cheap enough
  // per event.
  bool Interrupted() const;
  // The flag behind Interrupted, for a reader's byte source to end its data by (any thread).
  const std::atomic<bool>& Flag() const;

  // The node to stop on Ctrl-C; null for none.
  void StopNode(KXBase* node);

  // The partial file to remove when the second Ctrl-C ends the program; null for none.
  void RemoveOnSecondInterrupt(const char* path);
};

// True while neither Ctrl-C nor a failed write to standard output asks a long command to stop:
// looked at between blocks or events.
bool KeepGoing(const InterruptWatch& watch);

// "tuda NAME: interrupted" on standard error, after what a normal end writes; returns
// kExitInterrupted after Ctrl-C, else 128 + the number of the signal that came.
int ReportInterrupted(const std::string& name);

// The exit status at a reading command's end: interrupted (reported), else 0 when every file was
// read whole, else kExitDataError.
int EndStatus(const InterruptWatch& watch, const std::string& name, bool allRead);
