#include "tools/console/StandardOutput.h"

#include <unistd.h>

#include <iostream>

#include "tools/console/OutputCheck.h"

namespace {

DescriptorBuffer::Flushes FlushesOfStandardOutput()
{
  return isatty(STDOUT_FILENO) != 0 ? DescriptorBuffer::Flushes::kWritten : DescriptorBuffer::Flushes::kHeld;
}

}  // namespace

StandardOutput::StandardOutput()
    : buffer(STDOUT_FILENO, FlushesOfStandardOutput()),
      plainOutput(std::cout.rdbuf(&buffer)),
      plainTie(std::cerr.tie(&errorTie))
{
  WatchStandardOutput(&buffer);
}

StandardOutput::~StandardOutput()
{
  WatchStandardOutput(nullptr);
  std::cerr.tie(plainTie);
  std::cout.rdbuf(plainOutput);
}

// A failed write is kept by the target, for FinishOutput to tell; the tie itself stays good.
int StandardOutput::WriteOutBuffer::sync()
{
  target.WriteOut();
  return 0;
}
