#include "reader/TRawInput.h"

#include <algorithm>
#include <cstring>

void TRawInput::Start(std::istream& file)
{
  fFile = &file;
  file.read(fKept.data(), fKept.size());
  fKeptCount = static_cast<size_t>(file.gcount());
  fKeptUsed = 0;
  Count(fKeptCount);
  // A file shorter than the bytes looked at is still open and readable from its start: its end
  // shows at the first read, as it would have without the look.
  file.clear();
}

size_t TRawInput::Read(char* buffer, size_t size)
{
  if (!fFile) return 0;
  const size_t kept = std::min(size, fKeptCount - fKeptUsed);
  if (kept > 0) {
    std::memcpy(buffer, fKept.data() + fKeptUsed, kept);
    fKeptUsed += kept;
    if (kept == size) return size;
  }
  fFile->read(buffer + kept, static_cast<std::streamsize>(size - kept));
  const size_t count = static_cast<size_t>(fFile->gcount());
  Count(count);
  return kept + count;
}
