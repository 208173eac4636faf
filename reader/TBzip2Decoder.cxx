#include "reader/TBzip2Decoder.h"

namespace {

// libbz2's words for its failures.
const char* Bzip2Error(int status)
{
  switch (status) {
    case BZ_MEM_ERROR:
      return "out of memory";
    case BZ_DATA_ERROR_MAGIC:
      return "not a bzip2 stream";
    case BZ_DATA_ERROR:
      return "compressed data are corrupt";
    default:
      return "libbz2 error";
  }
}

}  // namespace

TBzip2Decoder::TBzip2Decoder(TRawInput& input) : TStreamDecoder(input, "stream")
{
  if (!Start()) Fail("libbz2 could not start");
}

TBzip2Decoder::~TBzip2Decoder()
{
  if (fReady) BZ2_bzDecompressEnd(&fStream);
}

bool TBzip2Decoder::Start()
{
  if (fReady) BZ2_bzDecompressEnd(&fStream);
  fStream = bz_stream{};
  fReady = BZ2_bzDecompressInit(&fStream, 0, 0) == BZ_OK;
  return fReady;
}

// A stream's end checks the stream's CRC; the next bytes start another stream.
bool TBzip2Decoder::Step(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  fStream.next_in = const_cast<char*>(in);
  fStream.avail_in = static_cast<unsigned>(inEnd - in);
  fStream.next_out = out;
  fStream.avail_out = static_cast<unsigned>(outEnd - out);
  const int status = BZ2_bzDecompress(&fStream);
  in = fStream.next_in;
  out = fStream.next_out;
  if (status == BZ_STREAM_END) {
    if (!Start()) Fail("libbz2 could not start");
    return true;
  }
  if (status != BZ_OK) Fail(Bzip2Error(status));
  return false;
}
