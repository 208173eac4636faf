#pragma once

#include <bzlib.h>

#include "reader/TStreamDecoder.h"

// Decodes bzip2 data, stream after stream, through libbz2, which checks each block's CRC and the
// stream's. Gives out every block it decoded before the data end or are found damaged, as
// `bzip2 -dc` does: the general archive library holds back the last of it.
class TBzip2Decoder : public TStreamDecoder {
 public:
  explicit TBzip2Decoder(TRawInput& input);
  ~TBzip2Decoder() override;
  TBzip2Decoder(const TBzip2Decoder&) = delete;
  TBzip2Decoder& operator=(const TBzip2Decoder&) = delete;

 private:
  bool Step(const char*& in, const char* inEnd, char*& out, char* outEnd) override;
  bool Start();

  bz_stream fStream{};
  bool fReady = false;
};
