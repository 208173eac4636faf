#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <istream>

#include "reader/TCodec.h"

// The raw bytes of an open data file: its first bytes, looked at to tell the codec and kept, then
// the rest. A regular file is read through its stream; standard input, a named pipe or a device
// is read through its descriptor, so that a wait for its bytes can end when the owner cancels.
// Bytes are read in order, so a pipe reads as a file does; only a decoder that must read some
// again seeks back, where the input allows it. The stream must outlive the input's use; one
// thread at a time reads it.
class TRawInput {
 public:
  TRawInput() = default;
  ~TRawInput() { Stop(); }
  TRawInput(const TRawInput&) = delete;
  TRawInput& operator=(const TRawInput&) = delete;

  // Reads the first bytes of `file` (fewer in a shorter file) and keeps them for Read.
  void Start(std::istream& file);
  // The same for the open descriptor `descriptor`, closed at Stop when `owned`. A named pipe
  // opened without waiting for a writer is given `awaitWriter`: its first read waits for one.
  void StartDescriptor(int descriptor, bool owned, bool awaitWriter);
  void Stop();

  const unsigned char* FirstBytes() const { return reinterpret_cast<const unsigned char*>(fKept.data()); }
  size_t FirstCount() const { return fKeptCount; }
  // The first bytes not yet handed on by Read.
  size_t KeptLeft() const { return fKeptCount - fKeptUsed; }

  // Bytes put into `buffer`, `size` unless the file ended, failed or was cancelled first.
  size_t Read(char* buffer, size_t size);

  // Whether Rewind can succeed: the input can be sought, as a regular file can.
  bool Rewindable() const { return fRewindable; }
  // Reads on from the raw byte at `offset` (0: the first byte), the first bytes kept included;
  // false when the input cannot be sought (a pipe, a device).
  bool Rewind(uint64_t offset);

  // A flag the owner raises, from any thread, to end the data as at the end of the file: looked
  // at before every read and, on a descriptor, while it waits. Null (the default): never.
  void SetCancel(const std::atomic<bool>* cancel) { fCancel = cancel; }
  bool Cancelled() const { return fCancel != nullptr && fCancel->load(std::memory_order_relaxed); }

  // The file bytes taken from every stream started so far, each once however often it is read
  // again. Any thread may ask; only the thread reading the stream adds to it, so a plain store
  // serves.
  uint64_t Consumed() const { return fConsumed.load(std::memory_order_relaxed); }

 private:
  size_t ReadStream(char* buffer, size_t size);
  size_t ReadDescriptor(char* buffer, size_t size);
  bool Await();
  void Begin(int64_t start);
  void KeepFirstBytes(size_t count);
  bool Seek(uint64_t offset);
  void Advance(size_t bytes);

  std::istream* fFile = nullptr;
  int fDescriptor = -1;
  bool fOwned = false;
  bool fMustWait = false;  // the next read waits in poll: no writer seen yet, or none ready
  bool fEnded = false;     // a descriptor that ended or failed gives nothing more, as a stream
  const std::atomic<bool>* fCancel = nullptr;
  std::array<char, kCodecMagicBytes> fKept{};
  size_t fKeptCount = 0;
  size_t fKeptUsed = 0;
  bool fRewindable = false;
  int64_t fStartOffset = 0;  // where in the file or descriptor the raw bytes start
  uint64_t fOffset = 0;      // the raw offset of the next byte the stream or descriptor gives
  uint64_t fReached = 0;     // the furthest raw offset read: bytes before it are counted
  std::atomic<uint64_t> fConsumed{0};
};
