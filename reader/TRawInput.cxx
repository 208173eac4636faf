#include "reader/TRawInput.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// How often a descriptor's wait looks at the cancel flag.
constexpr int kCancelLookMilliseconds = 100;
constexpr int kWaitForever = -1;

}  // namespace

void TRawInput::Start(std::istream& file)
{
  fFile = &file;
  Begin(file.tellg());
  KeepFirstBytes(ReadStream(fKept.data(), fKept.size()));
  // A file shorter than the bytes looked at is still open and readable from its start: its end
  // shows at the first read, as it would have without the look.
  file.clear();
}

void TRawInput::StartDescriptor(int descriptor, bool owned, bool awaitWriter)
{
  fDescriptor = descriptor;
  fOwned = owned;
  fMustWait = awaitWriter;
  fEnded = false;
  struct stat status;
  const bool regular = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
  Begin(regular ? lseek(descriptor, 0, SEEK_CUR) : -1);
  KeepFirstBytes(ReadDescriptor(fKept.data(), fKept.size()));
  fEnded = false;
}

// `start`: where the raw bytes start in the file, -1 when the input cannot be sought.
void TRawInput::Begin(int64_t start)
{
  fRewindable = start >= 0;
  fStartOffset = fRewindable ? start : 0;
  fOffset = 0;
  fReached = 0;
}

void TRawInput::KeepFirstBytes(size_t count)
{
  fKeptCount = count;
  fKeptUsed = 0;
}

void TRawInput::Stop()
{
  if (fOwned) close(fDescriptor);
  fDescriptor = -1;
  fOwned = false;
  fFile = nullptr;
  fRewindable = false;
}

size_t TRawInput::Read(char* buffer, size_t size)
{
  if ((!fFile && fDescriptor < 0) || Cancelled()) return 0;
  const size_t kept = std::min(size, fKeptCount - fKeptUsed);
  if (kept > 0) {
    std::memcpy(buffer, fKept.data() + fKeptUsed, kept);
    fKeptUsed += kept;
    if (kept == size) return size;
  }
  return kept + (fFile ? ReadStream(buffer + kept, size - kept) : ReadDescriptor(buffer + kept, size - kept));
}

bool TRawInput::Rewind(uint64_t offset)
{
  // The stream goes on after the first bytes, which are handed out again from the offset on.
  const uint64_t streamOffset = std::max<uint64_t>(offset, fKeptCount);
  if (!fRewindable || !Seek(streamOffset)) return false;
  fOffset = streamOffset;
  fKeptUsed = static_cast<size_t>(std::min<uint64_t>(offset, fKeptCount));
  return true;
}

bool TRawInput::Seek(uint64_t offset)
{
  const int64_t at = fStartOffset + static_cast<int64_t>(offset);
  if (fFile) {
    fFile->clear();
    return static_cast<bool>(fFile->seekg(at));
  }
  fEnded = false;
  return lseek(fDescriptor, at, SEEK_SET) == at;
}

// Bytes read again after a rewind were counted the first time.
void TRawInput::Advance(size_t bytes)
{
  fOffset += bytes;
  if (fOffset <= fReached) return;
  fConsumed.store(Consumed() + (fOffset - fReached), std::memory_order_relaxed);
  fReached = fOffset;
}

size_t TRawInput::ReadStream(char* buffer, size_t size)
{
  fFile->read(buffer, static_cast<std::streamsize>(size));
  const size_t count = static_cast<size_t>(fFile->gcount());
  Advance(count);
  return count;
}

// Whole reads where the descriptor gives pieces (a pipe, a socket, a terminal), until the end,
// a failure or the cancel flag.
size_t TRawInput::ReadDescriptor(char* buffer, size_t size)
{
  size_t count = 0;
  while (count < size && !fEnded && Await()) {
    const ssize_t got = read(fDescriptor, buffer + count, size - count);
    if (got > 0) {
      count += static_cast<size_t>(got);
    } else if (got < 0 && errno == EAGAIN) {
      fMustWait = true;
    } else if (got == 0 || errno != EINTR) {
      fEnded = true;
    }
  }
  Advance(count);
  return count;
}

// A blocking read cannot be ended by the cancel flag, so with one the bytes are waited for in
// poll. A named pipe opened without blocking reads its end before any writer came, but poll
// tells nothing until one came: the first read waits there even without a flag, and the pipe
// then blocks in read as one opened the ordinary way does.
bool TRawInput::Await()
{
  if (!fMustWait && fCancel == nullptr) return true;
  pollfd ready{fDescriptor, POLLIN, 0};
  for (;;) {
    if (Cancelled()) return false;
    const int result = poll(&ready, 1, fCancel != nullptr ? kCancelLookMilliseconds : kWaitForever);
    if (result > 0 || (result < 0 && errno != EINTR)) break;
  }
  if (fMustWait && fOwned) fcntl(fDescriptor, F_SETFL, fcntl(fDescriptor, F_GETFL) & ~O_NONBLOCK);
  fMustWait = false;
  return !Cancelled();
}
