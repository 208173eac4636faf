#pragma once

#include <cstddef>
#include <string>

// The compressed forms a data file may come in, told from its first bytes, never from its name.
enum class TCodec { kNone, kGzip, kBzip2, kXz, kZstd, kLz4 };

// The bytes looked at to tell the codec: the longest magic number, xz's.
static constexpr size_t kCodecMagicBytes = 6;

// The codec whose magic number `bytes` begin with; kNone for anything else, a data block included.
TCodec CodecOfFirstBytes(const unsigned char* bytes, size_t count);

// Whether `bytes` begin lz4's frame format rather than the legacy format of `lz4 -l`.
bool IsLz4Frame(const unsigned char* bytes, size_t count);

// "gzip", "bzip2", "xz", "zstd", "lz4"; "none" for kNone.
const char* CodecName(TCodec codec);

// The codecs this build reads and writes, as "gzip, bzip2, xz, zstd, lz4"; empty when it was
// built without compressed files.
const char* CompiledCodecs();

// The largest windows that zstd frames may be allowed, as powers of two: from `least` to `most`,
// `standard` unless the reader is told otherwise. All 0 in a build without compressed files.
struct TZstdWindowLogs {
  unsigned least;
  unsigned most;
  unsigned standard;
};
TZstdWindowLogs ZstdWindowLogs();
// "128 MiB", "2 GiB": a window of 2^`log` bytes.
std::string ZstdWindowText(unsigned log);
