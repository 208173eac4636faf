#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "reader/TCodec.h"
#include "reader/TDecoder.h"
#include "reader/TRawInput.h"

// Decompresses a data file ahead of the reader on one helper thread, into a small ring of
// slots of several blocks each, allocated once. The hand-over: the helper fills free slots in order and
// publishes each under the mutex; the reader's thread takes filled slots in order and frees
// each under the mutex once it has copied it out. The slot the data end in stays taken, so
// every later read finds the end. The helper touches only the raw input and its decoder, and
// ends with the source.
class TCompressedSource {
 public:
  // Starts decoding `input`, compressed in `codec`, allowing zstd frames windows up to
  // 2^`zstdWindowLog` bytes (0: the zstd library's default); the input must outlive the source.
  // Throws when memory or the thread cannot be had.
  TCompressedSource(TRawInput& input, TCodec codec, unsigned zstdWindowLog);
  ~TCompressedSource();
  TCompressedSource(const TCompressedSource&) = delete;
  TCompressedSource& operator=(const TCompressedSource&) = delete;

  // Bytes put into `buffer`: `size` unless the data end first.
  size_t Read(char* buffer, size_t size);

  // After a short Read: empty when the data simply ended, else what was wrong with them, and
  // the uncompressed bytes decoded before it was found.
  const std::string& Failure() const { return fFailure; }
  uint64_t FailureOffset() const { return fFailureOffset; }
  // After a short Read: the window a zstd frame needed beyond the one allowed, as a power of
  // two (0: none), and the zero padding after the last frame (see TDecoder).
  unsigned NeededWindowLog() const { return fNeededWindowLog; }
  uint64_t PaddingBytes() const { return fPaddingBytes; }

 private:
  void Produce();
  char* Slot(size_t index) const;
  void TakeFilledSlot();
  void FreeSlot();

  std::unique_ptr<TDecoder> fDecoder;
  std::unique_ptr<char[]> fSlots;
  std::unique_ptr<size_t[]> fSlotCounts;
  // Guarded by fMutex.
  size_t fFilled = 0;
  bool fStop = false;
  std::string fFailure;
  uint64_t fFailureOffset = 0;
  unsigned fNeededWindowLog = 0;
  uint64_t fPaddingBytes = 0;
  // The helper's own.
  size_t fNextToFill = 0;
  // The reader's own.
  size_t fNextToTake = 0;
  size_t fTakenOffset = 0;
  bool fHoldingSlot = false;

  std::mutex fMutex;
  std::condition_variable fSlotFilled;
  std::condition_variable fSlotFreed;
  std::thread fHelper;
};
