#include "reader/TZlibInflater.h"

namespace {

// zlib's window size, plus 16: read a gzip wrapper and check its trailer.
constexpr int kGzipWindowBits = 15 + 16;

}  // namespace

TZlibInflater::TZlibInflater()
{
  fReady = inflateInit2(&fStream, kGzipWindowBits) == Z_OK;
  if (!fReady) fFailure = "zlib could not start";
}

TZlibInflater::~TZlibInflater()
{
  if (fReady) inflateEnd(&fStream);
}

// A member's end checks its CRC-32 and length; the next bytes start another member.
bool TZlibInflater::Step(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  if (!fReady) return false;
  fStream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
  fStream.avail_in = static_cast<uInt>(inEnd - in);
  fStream.next_out = reinterpret_cast<Bytef*>(out);
  fStream.avail_out = static_cast<uInt>(outEnd - out);
  const int status = inflate(&fStream, Z_NO_FLUSH);
  in = reinterpret_cast<const char*>(fStream.next_in);
  out = reinterpret_cast<char*>(fStream.next_out);
  if (status == Z_STREAM_END) {
    inflateReset(&fStream);
    return true;
  }
  // No progress for want of input is no fault; the caller tells whether more input comes.
  if (status != Z_OK && !(status == Z_BUF_ERROR && in == inEnd)) {
    fFailure = fStream.msg ? fStream.msg : "zlib error " + std::to_string(status);
  }
  return false;
}
