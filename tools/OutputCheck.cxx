#include "tools/OutputCheck.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "tools/CommandLine.h"
#include "tools/DescriptorBuffer.h"
#include "tools/ExitStatus.h"

namespace {

// The program's standard output buffer, told once; it stays watched while a progress line or a
// redirection has put another buffer in front of it.
const DescriptorBuffer* watchedBuffer = nullptr;

// The reason the buffer kept; 0 when none, or when no buffer is watched.
int BufferError()
{
  return watchedBuffer != nullptr ? watchedBuffer->Error() : 0;
}

}  // namespace

void WatchStandardOutput(const DescriptorBuffer* buffer) { watchedBuffer = buffer; }

// The buffer too: replacing a stream's buffer clears its failure flag.
bool OutputFailed() { return std::cout.bad() || BufferError() != 0; }

int FinishOutput(const std::string& name, int status)
{
  std::cout.flush();
  if (!OutputFailed()) return status;
  const int errorNumber = BufferError() != 0 ? BufferError() : EIO;
  if (errorNumber == EPIPE) return kExitDataError;
  return DataError(name, std::string("cannot write standard output: ") + std::strerror(errorNumber));
}
