#include "reader/TGzipDecoder.h"

namespace {

// zlib's window size, plus 16: read a gzip wrapper and check its trailer.
constexpr int kGzipWindowBits = 15 + 16;

}  // namespace

TGzipDecoder::TGzipDecoder(TRawInput& input) : fInput(input), fIn(new Bytef[kInputBytes])
{
  fReady = inflateInit2(&fStream, kGzipWindowBits) == Z_OK;
  if (!fReady) Fail("zlib could not start");
}

TGzipDecoder::~TGzipDecoder()
{
  if (fReady) inflateEnd(&fStream);
}

size_t TGzipDecoder::Decode(char* out, size_t size)
{
  fStream.next_out = reinterpret_cast<Bytef*>(out);
  fStream.avail_out = static_cast<uInt>(size);
  while (fStream.avail_out > 0 && !fEnded && !Failed()) {
    if (fStream.avail_in == 0 && !Refill()) {
      // Between members the data may end; inside one they were cut short.
      if (fInMember) Fail("the data end inside a member");
      fEnded = true;
      break;
    }
    Inflate();
  }
  return size - fStream.avail_out;
}

bool TGzipDecoder::Refill()
{
  fStream.next_in = fIn.get();
  fStream.avail_in = static_cast<uInt>(fInput.Read(reinterpret_cast<char*>(fIn.get()), kInputBytes));
  return fStream.avail_in > 0;
}

// A member's end checks its CRC-32 and length; the next bytes start another member.
void TGzipDecoder::Inflate()
{
  fInMember = true;
  const int status = inflate(&fStream, Z_NO_FLUSH);
  if (status == Z_STREAM_END) {
    fInMember = false;
    inflateReset(&fStream);
  } else if (status != Z_OK && !(status == Z_BUF_ERROR && fStream.avail_in == 0)) {
    Fail(fStream.msg ? fStream.msg : "zlib error " + std::to_string(status));
  }
}
