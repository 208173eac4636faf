#include "tools/InfoCommand.h"

#include <chrono>

#include "reader/TTudaData.h"
#include "tools/Options.h"

namespace {

void DecodeToEnd(TTudaData& reader)
{
  while (TTudaEvent* event = reader.GetNextEvent()) event->Clear(nullptr);
}

int RunInfo(const std::vector<std::string>& args)
{
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, {{"--debug", false}}, parsed, error)) return UsageError("info", error);
  if (parsed.positional.size() != 1) return UsageError("info", "give exactly one data file");

  TTudaData reader;
  reader.SetDebug(parsed.Has("--debug"));
  reader.OpenDataFile(parsed.positional[0].c_str());
  if (!reader.fFile.is_open()) return kExitDataError;

  const auto start = std::chrono::steady_clock::now();
  DecodeToEnd(reader);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  reader.Print(nullptr);
  reader.PrintStatus(static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count()));
  return reader.fSource.Damaged() ? kExitDataError : kExitOk;
}

}  // namespace

const Command kInfoCommand{"info", "Decode a file and print the reader's counters",
                           R"(Usage: tuda info FILE [--debug]

Decodes the whole file, then prints the reader's settings and counters and the
data volume it sifted in the elapsed whole seconds.

  --debug   also list the four group sets
)",
                           RunInfo};
