#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "reader/TRawInput.h"

// Decompresses a data file's raw bytes, one codec per kind, taking them a buffer at a time from
// the raw input. Runs on the helper thread of a TCompressedSource only.
class TDecoder {
 public:
  // Raw bytes read at a time unless a decoder asks for others: large enough to keep system
  // calls rare.
  static constexpr size_t kInputBytes = 1 << 16;

  virtual ~TDecoder() = default;

  // Bytes put into `out`: `size` unless the data ended or were found damaged first, and then
  // Failure() tells which.
  virtual size_t Decode(char* out, size_t size) = 0;

  // Empty while the data are sound; what was found wrong with them otherwise.
  const std::string& Failure() const { return fFailure; }
  // When decoding stopped at a frame that needs a larger window than the decoder was allowed:
  // the window it needs, as a power of two; 0 otherwise.
  unsigned NeededWindowLog() const { return fNeededWindowLog; }
  // The zero bytes after the last frame: padding, as tape and disk images leave it.
  uint64_t PaddingBytes() const { return fPaddingBytes; }

 protected:
  // `input` must outlive the decoder; `inputBytes` are read from it at a time.
  explicit TDecoder(TRawInput& input, size_t inputBytes = kInputBytes)
      : fInput(input), fInputBytes(inputBytes), fIn(new char[inputBytes])
  {
  }

  // Reads the next raw bytes into InputBuffer(); how many, 0 at the end of the file.
  size_t ReadInput() { return fInput.Read(fIn.get(), fInputBytes); }
  const char* InputBuffer() const { return fIn.get(); }
  // The raw input read again from `offset`, where it can be (see TRawInput::Rewind).
  bool InputRewindable() const { return fInput.Rewindable(); }
  bool RewindInput(uint64_t offset) { return fInput.Rewind(offset); }

  void Fail(const std::string& reason) { fFailure = reason; }
  void FailForWindow(unsigned log)
  {
    fNeededWindowLog = log;
    Fail("the frame needs a larger window than allowed");
  }
  bool Failed() const { return !fFailure.empty(); }
  void AddPadding(uint64_t bytes) { fPaddingBytes += bytes; }

 private:
  TRawInput& fInput;
  const size_t fInputBytes;
  std::unique_ptr<char[]> fIn;
  std::string fFailure;
  unsigned fNeededWindowLog = 0;
  uint64_t fPaddingBytes = 0;
};
