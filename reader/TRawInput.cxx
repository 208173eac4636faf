#include "reader/TRawInput.h"

#include <fcntl.h>
#include <poll.h>
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
  file.read(fKept.data(), fKept.size());
  KeepFirstBytes(static_cast<size_t>(file.gcount()));
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
  KeepFirstBytes(ReadDescriptor(fKept.data(), fKept.size()));
  fEnded = false;
}

void TRawInput::KeepFirstBytes(size_t count)
{
  fKeptCount = count;
  fKeptUsed = 0;
  Count(count);
}

void TRawInput::Stop()
{
  if (fOwned) close(fDescriptor);
  fDescriptor = -1;
  fOwned = false;
  fFile = nullptr;
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
  if (!fFile) return kept + ReadDescriptor(buffer + kept, size - kept);
  fFile->read(buffer + kept, static_cast<std::streamsize>(size - kept));
  const size_t count = static_cast<size_t>(fFile->gcount());
  Count(count);
  return kept + count;
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
  Count(count);
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
