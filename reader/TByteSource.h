#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "reader/TCodec.h"
#include "reader/TFollowInput.h"
#include "reader/TRawInput.h"

class TCompressedSource;

// The data file name that stands for standard input; a file of that name is reached as "./-".
static constexpr const char* kStandardInputName = "-";

// Where a reader's blocks come from. A plain data file is read straight from its stream; a file
// compressed in a codec this build reads is decoded ahead, on one helper thread that lives only
// while that file is open. The codec is told from the file's first bytes; the name "-" stands
// for standard input. One thread, the reader's, calls every operation; the helper thread never
// calls out of the decoding libraries.
class TByteSource {
 public:
  TByteSource();
  ~TByteSource();
  TByteSource(const TByteSource&) = delete;
  TByteSource& operator=(const TByteSource&) = delete;

  // Opens `name` on `file`, which must be closed and outlive the source's use of it, and looks
  // at its first bytes. False, with OpenError() and `file` closed, when the file cannot be
  // opened or is compressed in a way this build does not read.
  bool Open(std::ifstream& file, const char* name);
  // Ends the helper thread, if any; the caller closes the file.
  void Close();

  // True when all `size` bytes arrived in `buffer`. A damaged compressed stream ends the data
  // where the damage lies, with one error line.
  bool Read(char* buffer, size_t size);
  // The bytes the last Read put into the buffer: fewer than asked only at the end of the data.
  size_t LastCount() const { return fLastCount; }

  // The first `size` bytes of the data (fewer when they end first), read ahead and kept for the
  // next Reads: a caller may look at the start of standard input or a pipe without taking it
  // from the reader. Call after Open, before the first Read.
  std::string_view Ahead(size_t size);
  // The file bytes taken so far, over every file this source opened: compressed bytes for a
  // compressed file. Cheap, and any thread may ask.
  uint64_t BytesConsumed() const { return fRaw.Consumed(); }

  // Whether the data of the file opened last were found damaged.
  bool Damaged() const { return fDamaged; }
  TCodec Codec() const { return fCodec; }
  // Why the last Open failed, in the reader's words after "ERROR - ".
  const std::string& OpenError() const { return fOpenError; }
  // Where the damage line goes: standard error unless set; `errors` must outlive the source's use.
  void SetErrors(std::ostream& errors) { fErrors = &errors; }
  // Follows the plain files opened from now on as they are written (see TFollowInput).
  void SetFollow(TFollowSettings settings) { fFollow.Configure(std::move(settings)); }
  // Why following the file opened last ended its data.
  const TFollowInput& Follow() const { return fFollow; }

 private:
  // Deletes a compressed source where its class is known, so that this header needs no more.
  struct TCompressedSourceDeleter {
    void operator()(TCompressedSource* source) const;
  };

  bool StartDecoding();
  size_t ReadDecoded(char* buffer, size_t size);
  size_t ReadData(char* buffer, size_t size);
  size_t TakeAhead(char* buffer, size_t size);
  bool Refuse(std::ifstream& file, const std::string& error);
  void ReportDamage(const std::string& reason, uint64_t offset);

  std::string fName;
  std::string fOpenError;
  TRawInput fRaw;
  TFollowInput fFollow;
  TCodec fCodec = TCodec::kNone;
  std::unique_ptr<TCompressedSource, TCompressedSourceDeleter> fCompressed;
  size_t fLastCount = 0;
  std::string fAhead;
  size_t fAheadUsed = 0;
  bool fDamaged = false;
  std::ostream* fErrors = &std::cerr;
};
