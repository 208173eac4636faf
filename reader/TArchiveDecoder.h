#pragma once

#include <archive.h>


#include "reader/TDecoder.h"
#include "reader/TRawInput.h"

// Decodes the legacy lz4 format of `lz4 -l` through the archive library's raw-format reading,
// with exactly the one filter the file's first bytes named: decoded data that happen to look
// compressed are not decoded again.
class TArchiveDecoder : public TDecoder {
 public:
  TArchiveDecoder(TRawInput& input, int filter);
  ~TArchiveDecoder() override;
  TArchiveDecoder(const TArchiveDecoder&) = delete;
  TArchiveDecoder& operator=(const TArchiveDecoder&) = delete;

  size_t Decode(char* out, size_t size) override;

 private:
  static la_ssize_t SupplyInput(archive* reader, void* self, const void** buffer);
  void Begin();
  void FailWithLibraryError();

  archive* fArchive;
  const int fFilter;
  bool fBegun = false;
  bool fEnded = false;
};
