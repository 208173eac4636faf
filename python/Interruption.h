#pragma once

#include <atomic>

// Ctrl-C while the reader decodes with Python's lock released. Python's own handler only notes
// the signal; a look once per block (cheap against 32 KiB of decoding) takes the lock briefly and
// lets Python act on it. When that raised KeyboardInterrupt, the look raises the cancel flag the
// reader's byte source was given, so that the reader ends as at the end of its data and nothing
// is thrown through it; the caller then throws Interrupted, and, back under the lock, raises the
// pending exception. No signal handler is installed here. Off the main thread Python acts on no
// signal, so a read on a worker thread (a dask task) takes no lock and is never cancelled.
struct Interrupted {};

// One read's look: made and used on the thread that decodes; the flag is read by the byte
// source's helper thread too.
class InterruptLook {
 public:
  // At import, with Python's lock held: which thread is Python's main thread.
  static void NoteMainThread();
  InterruptLook();
  // After each block, with Python's lock released.
  void AfterBlock();
  // For TByteSource::SetCancel and the tools' reads.
  const std::atomic<bool>& Cancel() const { return cancel; }
  bool Raised() const { return cancel.load(std::memory_order_relaxed); }
  // Throws Interrupted, with Python's exception set, once a look raised the flag.
  void ThrowIfRaised() const;

 private:
  const bool onMainThread;
  std::atomic<bool> cancel{false};
};
