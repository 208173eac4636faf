#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>

#include "reader/TCodec.h"

// Compresses bytes in one codec into a stream, for CompressedOutput. What it writes carries
// every checksum its codec can carry, so that damage to a written file is found when it is read.
class Encoder {
 public:
  virtual ~Encoder() = default;

  // False when the bytes could not be compressed or written; Error() tells why.
  virtual bool Write(const char* bytes, size_t size) = 0;
  // Ends the compressed stream; called once, after the last Write.
  virtual bool Finish() = 0;
  // Empty while nothing has gone wrong.
  const std::string& Error() const { return error; }

 protected:
  bool Fail(const std::string& what)
  {
    if (error.empty()) error = what;
    return false;
  }

 private:
  std::string error;
};

// An encoder of `codec` (not kNone) writing into `sink`, which must outlive it; Error() tells
// when it could not start. Built with compressed files only.
std::unique_ptr<Encoder> MakeEncoder(TCodec codec, std::ostream& sink);
