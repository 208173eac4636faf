#include "reader/TXzDecoder.h"

#include <cstdint>
#include <string>

namespace {

// liblzma's words for its failures.
const char* XzError(lzma_ret status)
{
  switch (status) {
    case LZMA_MEM_ERROR:
      return "out of memory";
    case LZMA_FORMAT_ERROR:
      return "not an xz stream";
    case LZMA_OPTIONS_ERROR:
      return "unsupported options";
    case LZMA_DATA_ERROR:
      return "compressed data are corrupt";
    case LZMA_BUF_ERROR:
      return "unexpected end of input";
    default:
      return "liblzma error";
  }
}

}  // namespace

TXzDecoder::TXzDecoder(TRawInput& input) : TStreamDecoder(input, "stream")
{
  if (!Start()) Fail("liblzma could not start");
}

TXzDecoder::~TXzDecoder()
{
  lzma_end(&fStream);
}

// No memory limit: the file's own streams say what they need, as `xz -d` lets them.
bool TXzDecoder::Start()
{
  return lzma_stream_decoder(&fStream, UINT64_MAX, 0) == LZMA_OK;
}

// A stream's end checks its index and footer; the next bytes start another stream.
bool TXzDecoder::Step(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  fStream.next_in = reinterpret_cast<const uint8_t*>(in);
  fStream.avail_in = static_cast<size_t>(inEnd - in);
  fStream.next_out = reinterpret_cast<uint8_t*>(out);
  fStream.avail_out = static_cast<size_t>(outEnd - out);
  const lzma_ret status = lzma_code(&fStream, LZMA_RUN);
  in = reinterpret_cast<const char*>(fStream.next_in);
  out = reinterpret_cast<char*>(fStream.next_out);
  if (status == LZMA_STREAM_END) {
    if (!Start()) Fail("liblzma could not start");
    return true;
  }
  // No progress for want of input is no fault; the caller tells whether more input comes.
  if (status != LZMA_OK && !(status == LZMA_BUF_ERROR && in == inEnd)) Fail(XzError(status));
  return false;
}
