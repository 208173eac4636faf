#pragma once

#include <cstddef>

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
