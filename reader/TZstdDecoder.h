#pragma once

#include <zstd.h>

#include "reader/TStreamDecoder.h"

// Decodes zstd data, frame after frame, through the zstd library, which checks each frame's
// checksum where the frame carries one. Streams with buffers of its own: the general archive
// library's read-ahead copies and allocates afresh on large frames.
class TZstdDecoder : public TStreamDecoder {
 public:
  explicit TZstdDecoder(TRawInput& input);
  ~TZstdDecoder() override;
  TZstdDecoder(const TZstdDecoder&) = delete;
  TZstdDecoder& operator=(const TZstdDecoder&) = delete;

 private:
  bool Step(const char*& in, const char* inEnd, char*& out, char* outEnd) override;

  ZSTD_DStream* fStream;
};
