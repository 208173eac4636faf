#pragma once

#include <string>

class KXBase;

// Ctrl-C for a long subcommand. While an InterruptWatch lives, the first Ctrl-C only raises a
// flag that the command looks at between blocks or events, and stops the node given to
// `StopNode` through its Stop, which only lowers the node's running flag. A second Ctrl-C ends
// the program at once, by the signal itself, after removing the file given to
// `RemoveOnSecondInterrupt`.
//
// A signal handler reaches only objects of static storage, so the flag, the node and the file
// name live in Interrupt.cxx: one watch at a time, made and ended on the main thread. The node
// and the file name must stay alive while the watch may use them.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // Whether Ctrl-C came since the watch began. One relaxed atomic load: cheap enough per event.
  bool Interrupted() const;

  // The node to stop on Ctrl-C; null for none.
  void StopNode(KXBase* node);

  // The partial file to remove when the second Ctrl-C ends the program; null for none.
  void RemoveOnSecondInterrupt(const char* path);
};

// True while neither Ctrl-C nor a failed write to standard output asks a long command to stop:
// looked at between blocks or events.
bool KeepGoing(const InterruptWatch& watch);

// "tuda NAME: interrupted" on standard error, after what a normal end writes; returns
// kExitInterrupted.
int ReportInterrupted(const std::string& name);

// The exit status at a reading command's end: interrupted (reported), else 0 when every file was
// read whole, else kExitDataError.
int EndStatus(const InterruptWatch& watch, const std::string& name, bool allRead);
