#include "tools/ZstdWindowOption.h"

#include <unistd.h>

#include <string>

#include "reader/TCodec.h"
#include "tools/OptionChecks.h"

namespace {

uint64_t MachineMemory()
{
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageBytes = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && pageBytes > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageBytes) : 0;
}

// Runs after the range check, so the text is a number within it.
CLI::Validator FitsMemory()
{
  return CLI::Validator(
      [](std::string& text) {
        const unsigned log = static_cast<unsigned>(std::stoul(text));
        const uint64_t memory = MachineMemory();
        if (memory == 0 || (1ull << log) <= memory) return std::string();
        return text + " asks for a " + ZstdWindowText(log) + " window, more than this machine's memory";
      },
      "");
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
