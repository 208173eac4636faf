#include "reader/TZstdDecoder.h"

TZstdDecoder::TZstdDecoder(TRawInput& input) : TStreamDecoder(input, "frame"), fStream(ZSTD_createDStream())
{
  if (!fStream) Fail("the zstd library could not start");
}

TZstdDecoder::~TZstdDecoder()
{
  ZSTD_freeDStream(fStream);
}

// The library returns 0 exactly when a frame has been decoded and given out whole.
bool TZstdDecoder::Step(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  ZSTD_inBuffer input{in, static_cast<size_t>(inEnd - in), 0};
  ZSTD_outBuffer output{out, static_cast<size_t>(outEnd - out), 0};
  const size_t result = ZSTD_decompressStream(fStream, &output, &input);
  in += input.pos;
  out += output.pos;
  if (ZSTD_isError(result)) Fail(ZSTD_getErrorName(result));
  return result == 0;
}
