#include "tools/console/OutputCheck.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "tools/console/ExitStatus.h"
#include "tools/console/Messages.h"
#include "tools/output/DescriptorBuffer.h"

namespace {

// The program's standard output buffer, told once; it stays watched while a progress line or a
// redirection has put another buffer in front of it.
DescriptorBuffer* watchedBuffer = nullptr;

// The reason the buffer kept; 0 when none, or when no buffer is watched.
int BufferError()
{
  return watchedBuffer != nullptr ? watchedBuffer->Error() : 0;
}

}  // namespace

void WatchStandardOutput(DescriptorBuffer* buffer) { watchedBuffer = buffer; }

// The stream's flush too, for a buffer in front of the watched one or in its place.
bool WriteOutStandardOutput()
{
  std::cout.flush();
  if (watchedBuffer != nullptr) watchedBuffer->WriteOut();
  return !OutputFailed();
}

// The buffer too: replacing a stream's buffer clears its failure flag.
bool OutputFailed() { return std::cout.bad() || BufferError() != 0; }

int FinishOutput(const std::string& name, int status)
{
  WriteOutStandardOutput();
  if (!OutputFailed()) return status;
  const int errorNumber = BufferError() != 0 ? BufferError() : EIO;
  if (errorNumber == EPIPE) return kExitDataError;
  return DataError(name, std::string("cannot write standard output: ") + std::strerror(errorNumber));
}
