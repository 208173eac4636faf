#include "tools/OutputCheck.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "tools/CommandLine.h"
#include "tools/DescriptorBuffer.h"
#include "tools/ExitStatus.h"

namespace {

// The reason the buffer kept; 0 when none, or when the buffer is another kind.
int BufferError()
{
  const auto* buffer = dynamic_cast<const DescriptorBuffer*>(std::cout.rdbuf());
  return buffer != nullptr ? buffer->Error() : 0;
}

}  // namespace

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
