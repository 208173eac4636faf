#include "reader/TFollowInput.h"

#include <sys/stat.h>

#include <thread>

void TFollowInput::Begin(const char* path, const TRawInput& raw)
{
  fPath = path;
  fEnd = TFollowEnd::kNone;
  fShrunkTo = 0;
  fBase = raw.Consumed() - raw.FirstCount();
  fGrown = Clock::now();
  struct stat status;
  fRegular = stat(path, &status) == 0 && S_ISREG(status.st_mode);
  fDevice = fRegular ? status.st_dev : 0;
  fInode = fRegular ? status.st_ino : 0;
  fSize = fRegular ? static_cast<uint64_t>(status.st_size) : 0;
}

size_t TFollowInput::Read(TRawInput& raw, char* buffer, size_t size)
{
  if (!fRegular || fEnd != TFollowEnd::kNone) return fEnd == TFollowEnd::kNone ? raw.Read(buffer, size) : 0;
  while (!Ready(raw, size)) {
    if (fEnd != TFollowEnd::kNone) return 0;
    if (IdleTooLong()) {
      // The writer is done: the file is read as it stands, its trailing piece included.
      fEnd = TFollowEnd::kIdle;
      return raw.Read(buffer, size);
    }
    if (raw.Cancelled() || (fSettings.keepWaiting && !fSettings.keepWaiting())) {
      fEnd = TFollowEnd::kStopped;
      return 0;
    }
    std::this_thread::sleep_for(kLookInterval);
  }
  return raw.Read(buffer, size);
}

bool TFollowInput::Ready(const TRawInput& raw, size_t size)
{
  const uint64_t position = raw.Consumed() - fBase;
  if (position - raw.KeptLeft() + size <= fSize) return true;
  struct stat status;
  // A name that is gone for the moment may be about to be replaced: wait on.
  if (stat(fPath.c_str(), &status) != 0) return false;
  if (status.st_dev != fDevice || status.st_ino != fInode) {
    fEnd = TFollowEnd::kReplaced;
    return false;
  }
  const uint64_t sizeNow = static_cast<uint64_t>(status.st_size);
  if (sizeNow < position) {
    fEnd = TFollowEnd::kShrunk;
    fShrunkTo = sizeNow;
    return false;
  }
  if (sizeNow != fSize) fGrown = Clock::now();
  fSize = sizeNow;
  return position - raw.KeptLeft() + size <= fSize;
}

bool TFollowInput::IdleTooLong() const
{
  return fSettings.idleSeconds > 0 &&
         std::chrono::duration<double>(Clock::now() - fGrown).count() >= fSettings.idleSeconds;
}
