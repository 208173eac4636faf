#pragma once

#include <zlib.h>

#include <string>

// zlib's inflate over gzip data, one step at a time: it reads each member's header, decodes the
// member and checks its CRC-32 and length; the bytes after a member start another. Shared by the
// zlib decoder and the ISA-L decoder's second reading of a damaged member, so that damage is told
// in zlib's words at zlib's byte whichever decodes. Used by one thread at a time.
class TZlibInflater {
 public:
  TZlibInflater();
  ~TZlibInflater();
  TZlibInflater(const TZlibInflater&) = delete;
  TZlibInflater& operator=(const TZlibInflater&) = delete;

  // Decodes from the input at `in` into the output at `out`, moving both past the bytes taken
  // and given. Returns whether a member ended; Failure() tells of damage.
  bool Step(const char*& in, const char* inEnd, char*& out, char* outEnd);

  // Empty while the data are sound; zlib's own words for what is wrong with them otherwise.
  const std::string& Failure() const { return fFailure; }

 private:
  z_stream fStream{};
  bool fReady = false;
  std::string fFailure;
};
