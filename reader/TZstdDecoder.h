#pragma once

#include <zstd.h>

#include <array>

#include "reader/TStreamDecoder.h"

// Decodes zstd data, frame after frame, through the zstd library, which checks each frame's
// checksum where the frame carries one. Streams with buffers of its own: the general archive
// library's read-ahead copies and allocates afresh on large frames. A frame that needs a larger
// window than allowed ends the data with the window it needs.
class TZstdDecoder : public TStreamDecoder {
 public:
  // `windowLog`: the largest window allowed, as a power of two; 0 for the library's default.
  TZstdDecoder(TRawInput& input, unsigned windowLog);
  ~TZstdDecoder() override;
  TZstdDecoder(const TZstdDecoder&) = delete;
  TZstdDecoder& operator=(const TZstdDecoder&) = delete;

 private:
  // The longest frame header.
  static constexpr size_t kHeaderBytes = 18;

  bool Step(const char*& in, const char* inEnd, char*& out, char* outEnd) override;
  void KeepHeader(const char* taken, size_t count);
  unsigned WindowLogOfHeader(const char* offered, const char* offeredEnd);

  ZSTD_DStream* fStream;
  // The first bytes of the frame in hand, where its header tells the window it needs.
  std::array<char, kHeaderBytes> fHeader{};
  size_t fHeaderCount = 0;
};
