#include "reader/TByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <iostream>

#ifdef TUDA_COMPRESSION
#include "reader/TCompressedSource.h"
#endif

namespace {

// What the file stream is opened on while the bytes come through a descriptor: it tells the
// reader's users that a file is open, and is never read.
const char* const kDescriptorStandIn = "/dev/null";

}  // namespace

bool StandardInputReadable()
{
  const int flags = fcntl(STDIN_FILENO, F_GETFL);
  return flags >= 0 && (flags & O_ACCMODE) != O_WRONLY;
}

TByteSource::TByteSource() = default;

TByteSource::~TByteSource() = default;

bool TByteSource::Open(std::ifstream& file, const char* name)
{
  fName = name ? name : "";
  fCodec = TCodec::kNone;
  fDamaged = false;
  fPaddingBytes = 0;
  fNeededWindowLog = 0;
  fLastCount = 0;
  fAhead.clear();
  fAheadUsed = 0;
  fOpenErrorNumber = 0;
  const bool opened = name != nullptr && (fName == kStandardInputName ? OpenStandardInput(file) : OpenPath(file, name));
  if (!opened) return Refuse(file, "Could not find file " + fName);
  if (fFollow.Enabled() && fName != kStandardInputName) fFollow.Begin(name, fRaw);
  fCodec = CodecOfFirstBytes(fRaw.FirstBytes(), fRaw.FirstCount());
  if (fCodec == TCodec::kNone || StartDecoding()) return true;
  fOpenErrorNumber = 0;
  return Refuse(file, fOpenError);
}

// Descriptor 0 as it is: a file, a pipe, a socket or a terminal. One held open for writing only
// stands for a closed standard input.
bool TByteSource::OpenStandardInput(std::ifstream& file)
{
  if (!StandardInputReadable()) {
    fOpenErrorNumber = EBADF;
    return false;
  }
  return OpenDescriptor(file, STDIN_FILENO, false, false);
}

// A directory opens as a stream on Linux and then fails every read: it is no data file. A
// named pipe is opened without waiting for a writer; its first read waits instead, where the
// wait can be cancelled.
bool TByteSource::OpenPath(std::ifstream& file, const char* path)
{
  struct stat status;
  if (stat(path, &status) != 0) {
    fOpenErrorNumber = errno;
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    fOpenErrorNumber = EISDIR;
    return false;
  }
  if (S_ISREG(status.st_mode)) {
    errno = 0;
    file.open(path, std::ios::in | std::ios::binary);
    fOpenErrorNumber = file.is_open() ? 0 : (errno != 0 ? errno : EIO);
    if (file.is_open()) fRaw.Start(file);
    return file.is_open();
  }
  const bool pipe = S_ISFIFO(status.st_mode);
  const int descriptor = open(path, O_RDONLY | O_CLOEXEC | (pipe ? O_NONBLOCK : 0));
  if (descriptor < 0) {
    fOpenErrorNumber = errno;
    return false;
  }
  return OpenDescriptor(file, descriptor, true, pipe);
}

bool TByteSource::OpenDescriptor(std::ifstream& file, int descriptor, bool owned, bool awaitWriter)
{
  errno = 0;
  file.open(kDescriptorStandIn, std::ios::in | std::ios::binary);
  if (!file.is_open()) {
    fOpenErrorNumber = errno != 0 ? errno : EIO;
    if (owned) close(descriptor);
    return false;
  }
  fRaw.StartDescriptor(descriptor, owned, awaitWriter);
  return true;
}

bool TByteSource::Refuse(std::ifstream& file, const std::string& error)
{
  fOpenError = error;
  fRaw.Stop();
  if (file.is_open()) file.close();
  return false;
}

#ifdef TUDA_COMPRESSION
bool TByteSource::StartDecoding()
{
  try {
    fCompressed.reset(new TCompressedSource(fRaw, fCodec, fZstdWindowLog));
    return true;
  } catch (const std::exception& error) {
    fOpenError = "cannot decompress " + fName + ": " + error.what();
    return false;
  }
}

size_t TByteSource::ReadDecoded(char* buffer, size_t size)
{
  if (Cancelled()) return 0;
  const size_t count = fCompressed->Read(buffer, size);
  // Raw bytes cut short by the cancel flag are no damage.
  if (count == size || fDamaged || Cancelled()) return count;
  fPaddingBytes = fCompressed->PaddingBytes();
  fNeededWindowLog = fCompressed->NeededWindowLog();
  if (fNeededWindowLog != 0) {
    ReportWindow(fCompressed->FailureOffset());
  } else if (!fCompressed->Failure().empty()) {
    ReportDamage(fCompressed->Failure(), fCompressed->FailureOffset());
  }
  return count;
}

void TByteSource::TCompressedSourceDeleter::operator()(TCompressedSource* source) const
{
  delete source;
}
#else
// Decoding compressed bytes as blocks would make events out of noise: refuse them instead.
bool TByteSource::StartDecoding()
{
  fOpenError = fName + " is " + CodecName(fCodec) + "-compressed, and this build reads no compressed files";
  return false;
}

// Without compressed files no source is ever made: there is nothing to read or delete.
size_t TByteSource::ReadDecoded(char*, size_t)
{
  return 0;
}

void TByteSource::TCompressedSourceDeleter::operator()(TCompressedSource*) const {}
#endif

void TByteSource::Close()
{
  fCompressed.reset();
  fRaw.Stop();
}

size_t TByteSource::ReadData(char* buffer, size_t size)
{
  if (fCompressed) return ReadDecoded(buffer, size);
  return fFollow.Enabled() ? fFollow.Read(fRaw, buffer, size) : fRaw.Read(buffer, size);
}

bool TByteSource::Read(char* buffer, size_t size)
{
  const size_t ahead = fAheadUsed < fAhead.size() ? TakeAhead(buffer, size) : 0;
  fLastCount = ahead == size ? size : ahead + ReadData(buffer + ahead, size - ahead);
  return fLastCount == size;
}

std::string_view TByteSource::Ahead(size_t size)
{
  fAhead.resize(size);
  fAhead.resize(ReadData(fAhead.data(), size));
  fAheadUsed = 0;
  return fAhead;
}

size_t TByteSource::TakeAhead(char* buffer, size_t size)
{
  const size_t count = std::min(size, fAhead.size() - fAheadUsed);
  std::memcpy(buffer, fAhead.data() + fAheadUsed, count);
  fAheadUsed += count;
  return count;
}

// A line of its own rather than the damage line: the data may well be whole, and the same
// reader decodes them when allowed the window.
void TByteSource::ReportWindow(uint64_t offset)
{
  fDamaged = true;
  const unsigned allowed = fZstdWindowLog != 0 ? fZstdWindowLog : ZstdWindowLogs().standard;
  *fErrors << "GetDataBlock: ERROR - " << CodecName(fCodec) << " data of " << fName << " need a "
           << ZstdWindowText(fNeededWindowLog) << " window at uncompressed byte " << offset << ", more than the "
           << ZstdWindowText(allowed) << " allowed (allow it with --zstd-window-log " << fNeededWindowLog
           << "), reading no further" << std::endl;
}

// The one place a damaged stream is told of.
void TByteSource::ReportDamage(const std::string& reason, uint64_t offset)
{
  fDamaged = true;
  *fErrors << "GetDataBlock: ERROR - " << CodecName(fCodec) << " data of " << fName
           << " are damaged at uncompressed byte " << offset << " (" << reason << "), reading no further"
           << std::endl;
}
