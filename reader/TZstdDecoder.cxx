// The frame header's fields are read through the library's advanced interface.
#define ZSTD_STATIC_LINKING_ONLY
#include "reader/TZstdDecoder.h"

#include <zstd_errors.h>

#include <algorithm>
#include <cstring>

static_assert(ZSTD_FRAMEHEADERSIZE_MAX <= 18, "a frame header fits the bytes kept of it");

TZstdDecoder::TZstdDecoder(TRawInput& input, unsigned windowLog)
    : TStreamDecoder(input, "frame"), fStream(ZSTD_createDStream())
{
  if (!fStream) {
    Fail("the zstd library could not start");
  } else if (windowLog != 0 && ZSTD_isError(ZSTD_DCtx_setParameter(fStream, ZSTD_d_windowLogMax,
                                                                     static_cast<int>(windowLog)))) {
    Fail("the zstd library refuses a window of 2^" + std::to_string(windowLog) + " bytes");
  }
}

TZstdDecoder::~TZstdDecoder()
{
  ZSTD_freeDStream(fStream);
}

void TZstdDecoder::KeepHeader(const char* taken, size_t count)
{
  const size_t kept = std::min(count, fHeader.size() - fHeaderCount);
  std::memcpy(fHeader.data() + fHeaderCount, taken, kept);
  fHeaderCount += kept;
}

// The smallest power of two that holds the window the frame's header asks for; 0 when the header
// cannot be read. The library may refuse a frame before it takes its header: the header's bytes
// are those taken since the frame began, then those it was offered, from `offered`.
unsigned TZstdDecoder::WindowLogOfHeader(const char* offered, const char* offeredEnd)
{
  KeepHeader(offered, static_cast<size_t>(offeredEnd - offered));
  ZSTD_frameHeader header;
  if (ZSTD_getFrameHeader(&header, fHeader.data(), fHeaderCount) != 0) return 0;
  unsigned log = 0;
  while (log < 64 && (1ull << log) < header.windowSize) ++log;
  return log;
}

// The library returns 0 exactly when a frame has been decoded and given out whole.
bool TZstdDecoder::Step(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  ZSTD_inBuffer input{in, static_cast<size_t>(inEnd - in), 0};
  ZSTD_outBuffer output{out, static_cast<size_t>(outEnd - out), 0};
  const size_t result = ZSTD_decompressStream(fStream, &output, &input);
  KeepHeader(in, input.pos);
  in += input.pos;
  out += output.pos;
  if (result == 0) fHeaderCount = 0;
  if (!ZSTD_isError(result)) return result == 0;
  const unsigned neededLog = ZSTD_getErrorCode(result) == ZSTD_error_frameParameter_windowTooLarge
                                 ? WindowLogOfHeader(in, inEnd)
                                 : 0;
  if (neededLog != 0) {
    FailForWindow(neededLog);
  } else {
    Fail(ZSTD_getErrorName(result));
  }
  return false;
}
