#include "reader/TCodec.h"

#include <algorithm>
#include <cstring>

#ifdef TUDA_COMPRESSION
// The decoder's standard window limit is named in the library's advanced interface.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>
#endif

namespace {

struct Magic {
  TCodec codec;
  const char* bytes;
  size_t count;
};

// Window sizes are told in these units, each 2^10 times the one before.
constexpr const char* kWindowUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
constexpr unsigned kWindowUnitLog = 10;
constexpr unsigned kLargestWindowUnit = sizeof kWindowUnits / sizeof kWindowUnits[0] - 1;

constexpr Magic kLz4Frame{TCodec::kLz4, "\x04\x22\x4d\x18", 4};

// lz4 has two: its frame format, and the legacy format of `lz4 -l`.
const Magic kMagics[] = {
    {TCodec::kGzip, "\x1f\x8b", 2},
    {TCodec::kBzip2, "BZh", 3},
    {TCodec::kXz, "\xfd" "7zXZ\0", 6},
    {TCodec::kZstd, "\x28\xb5\x2f\xfd", 4},
    kLz4Frame,
    {TCodec::kLz4, "\x02\x21\x4c\x18", 4},
};

bool StartsWith(const unsigned char* bytes, size_t count, const Magic& magic)
{
  return count >= magic.count && std::memcmp(bytes, magic.bytes, magic.count) == 0;
}

}  // namespace

TCodec CodecOfFirstBytes(const unsigned char* bytes, size_t count)
{
  for (const Magic& magic : kMagics) {
    if (StartsWith(bytes, count, magic)) return magic.codec;
  }
  return TCodec::kNone;
}

bool IsLz4Frame(const unsigned char* bytes, size_t count)
{
  return StartsWith(bytes, count, kLz4Frame);
}

const char* CodecName(TCodec codec)
{
  switch (codec) {
    case TCodec::kGzip:
      return "gzip";
    case TCodec::kBzip2:
      return "bzip2";
    case TCodec::kXz:
      return "xz";
    case TCodec::kZstd:
      return "zstd";
    case TCodec::kLz4:
      return "lz4";
    default:
      return "none";
  }
}

const char* CompiledCodecs()
{
#ifdef TUDA_COMPRESSION
  return "gzip, bzip2, xz, zstd, lz4";
#else
  return "";
#endif
}

#ifdef TUDA_COMPRESSION
TZstdWindowLogs ZstdWindowLogs()
{
  const ZSTD_bounds bounds = ZSTD_dParam_getBounds(ZSTD_d_windowLogMax);
  if (ZSTD_isError(bounds.error)) return {0, 0, 0};
  return {static_cast<unsigned>(bounds.lowerBound), static_cast<unsigned>(bounds.upperBound),
          ZSTD_WINDOWLOG_LIMIT_DEFAULT};
}
#else
TZstdWindowLogs ZstdWindowLogs()
{
  return {0, 0, 0};
}
#endif

std::string ZstdWindowText(unsigned log)
{
  const unsigned unit = std::min(log / kWindowUnitLog, kLargestWindowUnit);
  return std::to_string(1ull << (log - unit * kWindowUnitLog)) + ' ' + kWindowUnits[unit];
}
