#include "writer/ZstdEncoder.h"

ZstdEncoder::ZstdEncoder(std::ostream& sink)
    : sink(sink), context(ZSTD_createCCtx()), out(ZSTD_CStreamOutSize())
{
  if (!context || ZSTD_isError(ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1))) {
    Fail("the zstd library could not start");
  }
}

ZstdEncoder::~ZstdEncoder()
{
  ZSTD_freeCCtx(context);
}

bool ZstdEncoder::Step(const char* bytes, size_t size, ZSTD_EndDirective mode)
{
  ZSTD_inBuffer input{bytes, size, 0};
  size_t left = 0;
  do {
    ZSTD_outBuffer output{out.data(), out.size(), 0};
    left = ZSTD_compressStream2(context, &output, &input, mode);
    if (ZSTD_isError(left)) return Fail(ZSTD_getErrorName(left));
    if (!sink.write(out.data(), static_cast<std::streamsize>(output.pos))) return Fail("short write");
    // Until the frame ends, the library has taken everything once the input is used up.
  } while (mode == ZSTD_e_end ? left > 0 : input.pos < input.size);
  return true;
}

bool ZstdEncoder::Write(const char* bytes, size_t size)
{
  return Error().empty() && Step(bytes, size, ZSTD_e_continue);
}

bool ZstdEncoder::Finish()
{
  return Error().empty() && Step(nullptr, 0, ZSTD_e_end);
}
