#pragma once

#include <archive.h>

#include "writer/Encoder.h"

// gzip, bzip2, xz and lz4 through the archive library's write filters: one raw entry, no padding
// after the compressed stream, no time stamp in a gzip header. gzip members carry their CRC-32,
// bzip2 its block and stream CRCs, xz its CRC-64 check, and lz4 frames their content checksum
// and a checksum on every block.
class ArchiveEncoder : public Encoder {
 public:
  ArchiveEncoder(TCodec codec, std::ostream& sink);
  ~ArchiveEncoder() override;
  ArchiveEncoder(const ArchiveEncoder&) = delete;
  ArchiveEncoder& operator=(const ArchiveEncoder&) = delete;

  bool Write(const char* bytes, size_t size) override;
  bool Finish() override;

 private:
  bool Begin(TCodec codec, std::ostream& sink);
  bool SetFilterOptions(TCodec codec);
  bool FailWithLibraryError(const char* fallback);

  archive* writer;
};
