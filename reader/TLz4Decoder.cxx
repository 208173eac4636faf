#include "reader/TLz4Decoder.h"

TLz4Decoder::TLz4Decoder(TRawInput& input) : TStreamDecoder(input, "frame")
{
  if (LZ4F_isError(LZ4F_createDecompressionContext(&fContext, LZ4F_VERSION))) {
    Fail("the lz4 library could not start");
  }
}

TLz4Decoder::~TLz4Decoder()
{
  LZ4F_freeDecompressionContext(fContext);
}

// The library returns 0 exactly when a frame has been decoded and given out whole; the same
// context then reads the next frame.
bool TLz4Decoder::Step(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  size_t taken = static_cast<size_t>(inEnd - in);
  size_t given = static_cast<size_t>(outEnd - out);
  const size_t result = LZ4F_decompress(fContext, out, &given, in, &taken, nullptr);
  in += taken;
  out += given;
  if (LZ4F_isError(result)) Fail(LZ4F_getErrorName(result));
  return result == 0;
}
