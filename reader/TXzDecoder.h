#pragma once

#include <lzma.h>

#include "reader/TStreamDecoder.h"

// Decodes xz data, stream after stream, through liblzma, which checks each block's check and the
// stream's index. Gives out everything it decoded before the data end or are found damaged, as
// `xz -dc` does: the general archive library holds back the last of it.
class TXzDecoder : public TStreamDecoder {
 public:
  explicit TXzDecoder(TRawInput& input);
  ~TXzDecoder() override;
  TXzDecoder(const TXzDecoder&) = delete;
  TXzDecoder& operator=(const TXzDecoder&) = delete;

 private:
  bool Step(const char*& in, const char* inEnd, char*& out, char* outEnd) override;
  bool Start();

  lzma_stream fStream = LZMA_STREAM_INIT;
};
