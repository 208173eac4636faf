#include "tools/cli/ZstdWindowOption.h"

#include <unistd.h>

#include <string>

#include "reader/TCodec.h"
#include "tools/cli/OptionChecks.h"

namespace {

uint64_t MachineMemory()
{
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageBytes = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && pageBytes > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageBytes) : 0;
}

// Empty when a window of 2^`log` bytes fits the machine's memory, else why it does not.
std::string MemoryRefusal(unsigned log)
{
  const uint64_t memory = MachineMemory();
  if (memory == 0 || (1ull << log) <= memory) return std::string();
  return std::to_string(log) + " asks for a " + ZstdWindowText(log) + " window, more than this machine's memory";
}

// Runs after the range check, so the text is a number within it.
CLI::Validator FitsMemory()
{
  return CLI::Validator([](std::string& text) { return MemoryRefusal(static_cast<unsigned>(std::stoul(text))); }, "");
}

}  // namespace

void ZstdWindowOption::Declare(CLI::App& app)
{
  const TZstdWindowLogs logs = ZstdWindowLogs();
  if (logs.most == 0) return;
  AddCount(app, "--zstd-window-log", log, logs.least, logs.most,
           "allow zstd frames a window of up to 2^N bytes (default " + std::to_string(logs.standard) + ", " +
               ZstdWindowText(logs.standard) + ")")
      ->check(FitsMemory());
}

std::string ZstdWindowOption::Set(uint64_t wanted)
{
  const TZstdWindowLogs logs = ZstdWindowLogs();
  if (wanted != 0 && logs.most == 0) return "is for compressed files, which this build does not read";
  if (wanted != 0 && (wanted < logs.least || wanted > logs.most)) {
    return "needs a whole number from " + std::to_string(logs.least) + " to " + std::to_string(logs.most) + ", not " +
           std::to_string(wanted);
  }
  const std::string refusal = wanted != 0 ? MemoryRefusal(static_cast<unsigned>(wanted)) : std::string();
  if (refusal.empty()) log = wanted;
  return refusal;
}
