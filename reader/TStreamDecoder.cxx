#include "reader/TStreamDecoder.h"

#include <string>

TStreamDecoder::TStreamDecoder(TRawInput& input, const char* frame, bool padded, size_t inputBytes)
    : TDecoder(input, inputBytes), fFrame(frame), fPadded(padded)
{
}

// A file never starts with a zero byte in a codec that allows padding, so zeros between frames
// are padding after the last one.
bool TStreamDecoder::AtPadding() const
{
  return fPadded && !fInFrame && fInNext != fInEnd && (PaddingBytes() > 0 || *fInNext == 0);
}

void TStreamDecoder::TakePadding()
{
  const char* const zeros = fInNext;
  while (fInNext != fInEnd && *fInNext == 0) ++fInNext;
  AddPadding(static_cast<uint64_t>(fInNext - zeros));
  if (fInNext != fInEnd) Fail(std::string("other data follow the zero padding after the last ") + fFrame);
}

void TStreamDecoder::Refill()
{
  fInNext = InputBuffer();
  fInEnd = fInNext + ReadInput();
  fInputEnded = fInNext == fInEnd;
}

bool TStreamDecoder::Rewind(uint64_t offset)
{
  fRewound = RewindInput(offset);
  return fRewound;
}

// The input in hand lies beyond the rewound raw input: the next step reads afresh.
void TStreamDecoder::DropInput()
{
  fRewound = false;
  fInNext = fInEnd;
  fInputEnded = false;
}

size_t TStreamDecoder::Decode(char* out, size_t size)
{
  char* next = out;
  char* const end = out + size;
  while (next < end && !fEnded && !Failed()) {
    if (fInNext == fInEnd && !fInputEnded) Refill();
    if (AtPadding()) {
      TakePadding();
      continue;
    }
    char* const before = next;
    const char* const inBefore = fInNext;
    const bool frameEnded = Step(fInNext, fInEnd, next, end);
    if (fRewound) {
      DropInput();
      continue;
    }
    if (frameEnded) {
      fInFrame = false;
    } else if (fInNext != inBefore) {
      fInFrame = true;
    }
    const bool stalled = next == before && fInNext == inBefore;
    if (Failed() || !stalled) continue;
    // With the input used up, a step that gives nothing means the library holds nothing more;
    // with input left, a library that neither takes nor gives would never end.
    if (!fInputEnded) {
      Fail("the decoder takes no more of the data");
    } else if (fInFrame) {
      Fail(std::string("the data end inside a ") + fFrame);
    }
    fEnded = true;
  }
  return static_cast<size_t>(next - out);
}
