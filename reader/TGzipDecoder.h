#pragma once

#include "reader/TStreamDecoder.h"
#include "reader/TZlibInflater.h"

// Decodes gzip data, member after member, through zlib, which checks the CRC-32 and the length
// of every member (the general archive library does not). Zero bytes after the last member are
// padding, as `gzip -t` takes them.
class TGzipDecoder : public TStreamDecoder {
 public:
  explicit TGzipDecoder(TRawInput& input);

 private:
  bool Step(const char*& in, const char* inEnd, char*& out, char* outEnd) override;

  TZlibInflater fInflater;
};
