#pragma once

#include <cstddef>
#include <string>

// Decompresses a data file's raw bytes, one codec per kind. Runs on the helper thread of a
// TCompressedSource only.
class TDecoder {
 public:
  virtual ~TDecoder() = default;

  // Bytes put into `out`: `size` unless the data ended or were found damaged first, and then
  // Failure() tells which.
  virtual size_t Decode(char* out, size_t size) = 0;

  // Empty while the data are sound; what was found wrong with them otherwise.
  const std::string& Failure() const { return fFailure; }

 protected:
  // Raw bytes read at a time: large enough to keep system calls rare.
  static constexpr size_t kInputBytes = 1 << 16;

  void Fail(const std::string& reason) { fFailure = reason; }
  bool Failed() const { return !fFailure.empty(); }

 private:
  std::string fFailure;
};
