#pragma once

#include <cstddef>
#include <cstdint>

#include "reader/TDecoder.h"
#include "reader/TRawInput.h"

// A decoder that passes the raw input through a codec library's streaming step, one input buffer
// at a time, frame after frame: concatenated frames read through. The data may end between
// frames only; ending inside one is damage. Where the codec's own tools allow it, zero bytes
// after the last frame are padding, to the end of the file; anything after such zeros is damage.
class TStreamDecoder : public TDecoder {
 public:
  size_t Decode(char* out, size_t size) override;

 protected:
  // `frame` is what the codec calls one self-contained unit of its data ("member", "frame");
  // `padded`: zero bytes may follow the last one; `inputBytes`: raw bytes read at a time.
  TStreamDecoder(TRawInput& input, const char* frame, bool padded = false, size_t inputBytes = kInputBytes);

  // Decodes from the input at `in` into the output at `out`, moving both past the bytes taken
  // and given, and stopping at the end of a frame; Fail()s on damage. Returns whether a frame
  // ended. Called with no input left once the raw input has ended, so that what the library
  // holds comes out.
  virtual bool Step(const char*& in, const char* inEnd, char*& out, char* outEnd) = 0;

  // Called from Step, which then returns at once: the input is read again from the raw byte at
  // `offset`, the rest of the input in hand dropped. False when the input cannot be sought.
  bool Rewind(uint64_t offset);

 private:
  void Refill();
  void DropInput();
  bool AtPadding() const;
  void TakePadding();

  const char* const fFrame;
  const bool fPadded;
  const char* fInNext = nullptr;
  const char* fInEnd = nullptr;
  bool fInputEnded = false;
  bool fRewound = false;
  bool fInFrame = false;
  bool fEnded = false;
};
