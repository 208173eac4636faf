#include "reader/TStreamDecoder.h"

#include <string>

TStreamDecoder::TStreamDecoder(TRawInput& input, const char* frame)
    : TDecoder(input), fFrame(frame)
{
}

void TStreamDecoder::Refill()
{
  fInNext = InputBuffer();
  fInEnd = fInNext + ReadInput();
  fInputEnded = fInNext == fInEnd;
}

size_t TStreamDecoder::Decode(char* out, size_t size)
{
  char* next = out;
  char* const end = out + size;
  while (next < end && !fEnded && !Failed()) {
    if (fInNext == fInEnd && !fInputEnded) Refill();
    char* const before = next;
    const char* const inBefore = fInNext;
    if (Step(fInNext, fInEnd, next, end)) {
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
