#include "reader/TGzipDecoder.h"

TGzipDecoder::TGzipDecoder(TRawInput& input) : TStreamDecoder(input, "member", true)
{
  if (!fInflater.Failure().empty()) Fail(fInflater.Failure());
}

bool TGzipDecoder::Step(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  const bool ended = fInflater.Step(in, inEnd, out, outEnd);
  if (!fInflater.Failure().empty()) Fail(fInflater.Failure());
  return ended;
}
