#include "reader/TByteSource.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <iostream>

#ifdef TUDA_COMPRESSION
#include "reader/TCompressedSource.h"
#endif

namespace {

// Opened under this name, standard input reads through the same kind of stream as a file.
const char* const kStandardInputPath = "/dev/stdin";

const char* PathOf(const char* name)
{
  return std::string(name) == kStandardInputName ? kStandardInputPath : name;
}

// A directory opens as a stream on Linux and then fails every read: it is no data file.
bool IsDirectory(const char* path)
{
  struct stat status;
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

TByteSource::TByteSource() = default;

TByteSource::~TByteSource() = default;

bool TByteSource::Open(std::ifstream& file, const char* name)
{
  fName = name ? name : "";
  fCodec = TCodec::kNone;
  fDamaged = false;
  fLastCount = 0;
  fAhead.clear();
  fAheadUsed = 0;
  if (name && !IsDirectory(PathOf(name))) file.open(PathOf(name), std::ios::in | std::ios::binary);
  if (!file.is_open()) return Refuse(file, "Could not find file " + fName);
  fRaw.Start(file);
  if (fFollow.Enabled()) fFollow.Begin(PathOf(name), fRaw);
  fCodec = CodecOfFirstBytes(fRaw.FirstBytes(), fRaw.FirstCount());
  if (fCodec == TCodec::kNone || StartDecoding()) return true;
  return Refuse(file, fOpenError);
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
    fCompressed.reset(new TCompressedSource(fRaw, fCodec));
    return true;
  } catch (const std::exception& error) {
    fOpenError = "cannot decompress " + fName + ": " + error.what();
    return false;
  }
}

size_t TByteSource::ReadDecoded(char* buffer, size_t size)
{
  const size_t count = fCompressed->Read(buffer, size);
  if (count < size && !fDamaged && !fCompressed->Failure().empty()) {
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

// The one place a damaged stream is told of.
void TByteSource::ReportDamage(const std::string& reason, uint64_t offset)
{
  fDamaged = true;
  *fErrors << "GetDataBlock: ERROR - " << CodecName(fCodec) << " data of " << fName
           << " are damaged at uncompressed byte " << offset << " (" << reason << "), reading no further"
           << std::endl;
}
