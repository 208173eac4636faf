#pragma once

#include <lz4frame.h>

#include "reader/TStreamDecoder.h"

// Decodes data in lz4's frame format, frame after frame, through the lz4 library, which checks
// the frame's content checksum and its blocks' checksums where the frame carries them. Streams
// with buffers of its own: the general archive library's read-ahead copies and allocates afresh
// on every block of several megabytes.
class TLz4Decoder : public TStreamDecoder {
 public:
  explicit TLz4Decoder(TRawInput& input);
  ~TLz4Decoder() override;
  TLz4Decoder(const TLz4Decoder&) = delete;
  TLz4Decoder& operator=(const TLz4Decoder&) = delete;

 private:
  bool Step(const char*& in, const char* inEnd, char*& out, char* outEnd) override;

  LZ4F_dctx* fContext = nullptr;
};
