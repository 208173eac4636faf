#pragma once

#include <atomic>
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

// Whether descriptor 0 can be read: open, and not held for writing only in place of a closed one.
bool StandardInputReadable();

// The data file name that stands for standard input; a file of that name is reached as "./-".
static constexpr const char* kStandardInputName = "-";

// Where a reader's blocks come from. A plain data file is read straight from its stream; a file
// compressed in a codec this build reads is decoded ahead, on one helper thread that lives only
// while that file is open. The codec is told from the file's first bytes; the name "-" stands
// for standard input, read from descriptor 0 whatever it is. Standard input, named pipes and
// devices are read through their descriptors, and the file stream is then opened on the null
// device only to tell that a file is open. One thread, the reader's, calls every operation
// (SetCancel's flag excepted); the helper thread never calls out of the decoding libraries.
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

  // Whether the data of the file opened last ended early: found damaged, or in need of a larger
  // zstd window than allowed.
  bool Damaged() const { return fDamaged; }
  TCodec Codec() const { return fCodec; }
  // Why the last Open failed, in the reader's words after "ERROR - ".
  const std::string& OpenError() const { return fOpenError; }
  // The system's reason when the last Open failed for one (errno), else 0.
  int OpenErrorNumber() const { return fOpenErrorNumber; }

  // A flag that, once raised from any thread, ends the data as at the end of the file: looked at
  // before every block and while standard input, a pipe or a device waits for bytes. It must
  // outlive the source's use; null (the default) for none.
  void SetCancel(const std::atomic<bool>* cancel) { fRaw.SetCancel(cancel); }
  // Whether the data ended because the cancel flag was raised.
  bool Cancelled() const { return fRaw.Cancelled(); }
  // Where the damage line goes: standard error unless set; `errors` must outlive the source's use.
  void SetErrors(std::ostream& errors) { fErrors = &errors; }
  // The largest window zstd frames of the files opened after may need, as a power of two within
  // ZstdWindowLogs(); 0, as unset, for the standard one. A frame that needs more ends the data
  // with one line that says how to allow it.
  void SetZstdWindowLog(unsigned log) { fZstdWindowLog = log; }
  // The zero bytes after the last member of the compressed file opened last, once its data ended:
  // padding, neither data nor damage.
  uint64_t PaddingBytes() const { return fPaddingBytes; }
  // When the data of the file opened last ended at a zstd frame that needs a larger window than
  // allowed: that window, as a power of two; 0 otherwise.
  unsigned NeededWindowLog() const { return fNeededWindowLog; }
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
  bool OpenStandardInput(std::ifstream& file);
  bool OpenPath(std::ifstream& file, const char* path);
  bool OpenDescriptor(std::ifstream& file, int descriptor, bool owned, bool awaitWriter);
  bool Refuse(std::ifstream& file, const std::string& error);
  void ReportDamage(const std::string& reason, uint64_t offset);
  void ReportWindow(uint64_t offset);

  std::string fName;
  std::string fOpenError;
  int fOpenErrorNumber = 0;
  TRawInput fRaw;
  TFollowInput fFollow;
  TCodec fCodec = TCodec::kNone;
  std::unique_ptr<TCompressedSource, TCompressedSourceDeleter> fCompressed;
  size_t fLastCount = 0;
  std::string fAhead;
  size_t fAheadUsed = 0;
  bool fDamaged = false;
  std::ostream* fErrors = &std::cerr;
  unsigned fZstdWindowLog = 0;
  uint64_t fPaddingBytes = 0;
  unsigned fNeededWindowLog = 0;
};
