#pragma once

#include <zlib.h>

#include <memory>

#include "reader/TDecoder.h"
#include "reader/TRawInput.h"

// Decodes gzip data, member after member, through zlib, which checks the CRC-32 and the length
// of every member (the general archive library does not).
class TGzipDecoder : public TDecoder {
 public:
  explicit TGzipDecoder(TRawInput& input);
  ~TGzipDecoder() override;
  TGzipDecoder(const TGzipDecoder&) = delete;
  TGzipDecoder& operator=(const TGzipDecoder&) = delete;

  size_t Decode(char* out, size_t size) override;

 private:
  bool Refill();
  void Inflate();

  TRawInput& fInput;
  std::unique_ptr<Bytef[]> fIn;
  z_stream fStream{};
  bool fReady = false;
  bool fInMember = false;
  bool fEnded = false;
};
