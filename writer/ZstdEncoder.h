#pragma once

#include <zstd.h>

#include <vector>

#include "writer/Encoder.h"

// zstd frames with a checksum of their content, through the zstd library: the archive library's
// zstd filter cannot ask for one.
class ZstdEncoder : public Encoder {
 public:
  explicit ZstdEncoder(std::ostream& sink);
  ~ZstdEncoder() override;
  ZstdEncoder(const ZstdEncoder&) = delete;
  ZstdEncoder& operator=(const ZstdEncoder&) = delete;

  bool Write(const char* bytes, size_t size) override;
  bool Finish() override;

 private:
  // Compresses `bytes` and writes what comes out; with ZSTD_e_end, up to the frame's end.
  bool Step(const char* bytes, size_t size, ZSTD_EndDirective mode);

  std::ostream& sink;
  ZSTD_CCtx* context;
  std::vector<char> out;
};
