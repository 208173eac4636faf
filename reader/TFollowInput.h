#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "reader/TRawInput.h"

// How a file still being written is followed.
struct TFollowSettings {
  bool follow = false;
  // The reading ends after this long without growth; 0 waits for ever.
  double idleSeconds = 0;
  // Called at every look while the file has not grown enough; false ends the wait, as Ctrl-C
  // does. Null: wait on.
  std::function<bool()> keepWaiting;
};

// Why following a file ended the data.
enum class TFollowEnd {
  kNone,      // not ended, or the file ended as an unfollowed one does
  kIdle,      // no growth for the idle time: the file was read as it stands
  kStopped,   // the wait was given up
  kShrunk,    // the file became shorter than what was read of it
  kReplaced   // another file now stands at the name
};

// The raw input of a regular file that is still being written: a read of a block waits until
// the whole block is in the file, so that a block is never decoded, nor reported as a trailing
// piece, before its last byte is written. A file that shrinks or is replaced ends the data
// (End() tells which), for the owner to read it again from its start. A pipe or a device is
// read as it is: a read there waits by itself. Looks at the file by its name every
// kLookInterval, on the reader's thread; it starts no thread.
class TFollowInput {
 public:
  static constexpr std::chrono::milliseconds kLookInterval{20};

  void Configure(TFollowSettings settings) { fSettings = std::move(settings); }
  bool Enabled() const { return fSettings.follow; }

  // `raw` has just been started on the file opened at `path`.
  void Begin(const char* path, const TRawInput& raw);
  // `size` bytes from `raw`, or fewer only when the following ended (End() says why).
  size_t Read(TRawInput& raw, char* buffer, size_t size);
  TFollowEnd End() const { return fEnd; }
  // The file's size when it was found shrunk, in bytes.
  uint64_t ShrunkTo() const { return fShrunkTo; }

 private:
  using Clock = std::chrono::steady_clock;

  // True when `size` bytes can be read without waiting; sets fEnd when the file went away.
  bool Ready(const TRawInput& raw, size_t size);
  bool IdleTooLong() const;

  TFollowSettings fSettings;
  std::string fPath;
  bool fRegular = false;
  dev_t fDevice = 0;
  ino_t fInode = 0;
  uint64_t fBase = 0;  // the raw input's count of bytes taken when this file started
  uint64_t fSize = 0;  // the file's size at the last look
  Clock::time_point fGrown;
  TFollowEnd fEnd = TFollowEnd::kNone;
  uint64_t fShrunkTo = 0;
};
