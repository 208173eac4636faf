#pragma once

#include <archive.h>

#include "reader/TCodec.h"

// The archive library's filter for a codec, reading and writing alike. Builds with compressed
// files only.
inline int ArchiveFilterOf(TCodec codec)
{
  switch (codec) {
    case TCodec::kGzip:
      return ARCHIVE_FILTER_GZIP;
    case TCodec::kBzip2:
      return ARCHIVE_FILTER_BZIP2;
    case TCodec::kXz:
      return ARCHIVE_FILTER_XZ;
    case TCodec::kZstd:
      return ARCHIVE_FILTER_ZSTD;
    case TCodec::kLz4:
      return ARCHIVE_FILTER_LZ4;
    default:
      return ARCHIVE_FILTER_NONE;
  }
}

// What the archive library said of its last failure, or `fallback` when it said nothing.
inline const char* ArchiveError(archive* archive, const char* fallback)
{
  const char* error = archive_error_string(archive);
  return error ? error : fallback;
}
