#pragma once

#include <array>
#include <cstddef>
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

  // Bytes put into `buffer`, `size` unless the file ended or failed first.
  size_t Read(char* buffer, size_t size);

 private:
  std::istream* fFile = nullptr;
  std::array<char, kCodecMagicBytes> fKept{};
  size_t fKeptCount = 0;
  size_t fKeptUsed = 0;
};
