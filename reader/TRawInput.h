#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <istream>

#include "reader/TCodec.h"

// The raw bytes of an open data file: its first bytes, looked at to tell the codec and kept, then
// the rest of the stream. Nothing is sought, so a pipe reads as a file does. The stream must
// outlive the input's use; one thread at a time reads it.
class TRawInput {
 public:
  // Reads the first bytes of `file` (fewer in a shorter file) and keeps them for Read.
  void Start(std::istream& file);
  void Stop() { fFile = nullptr; }

  const unsigned char* FirstBytes() const { return reinterpret_cast<const unsigned char*>(fKept.data()); }
  size_t FirstCount() const { return fKeptCount; }
  // The first bytes not yet handed on by Read.
  size_t KeptLeft() const { return fKeptCount - fKeptUsed; }

  // Bytes put into `buffer`, `size` unless the file ended or failed first.
  size_t Read(char* buffer, size_t size);

  // The file bytes taken from every stream started so far. Any thread may ask; only the thread
  // reading the stream adds to it, so a plain store serves.
  uint64_t Consumed() const { return fConsumed.load(std::memory_order_relaxed); }

 private:
  std::istream* fFile = nullptr;
  std::array<char, kCodecMagicBytes> fKept{};
  size_t fKeptCount = 0;
  size_t fKeptUsed = 0;
  std::atomic<uint64_t> fConsumed{0};

  void Count(size_t bytes) { fConsumed.store(Consumed() + bytes, std::memory_order_relaxed); }
};
