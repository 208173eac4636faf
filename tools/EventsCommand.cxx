#include "tools/EventsCommand.h"

#include "reader/TTudaData.h"
#include "tools/Options.h"

namespace {

// Writes nothing of its own, so its output can be compared byte for byte with the reader's.
int RunEvents(const std::vector<std::string>& args)
{
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, {}, parsed, error)) return UsageError("events", error);
  if (parsed.positional.empty()) return UsageError("events", "no data file given");

  TTudaData reader;
  bool allOpened = true;
  for (const std::string& file : parsed.positional) {
    reader.OpenDataFile(file.c_str());
    allOpened = allOpened && reader.fFile.is_open();
    while (TTudaEvent* event = reader.GetNextEvent()) {
      event->Print(nullptr);
      event->Clear(nullptr);
    }
    allOpened = allOpened && !reader.fSource.Damaged();
  }
  return allOpened ? kExitOk : kExitDataError;
}

}  // namespace

const Command kEventsCommand{"events", "Decode data files and print every event",
                             R"(Usage: tuda events FILE [FILE...]

Decodes the files in order with one reader and prints every event it returns.
The reader keeps its state from one file to the next: the items after a file's
last event-start token come out with the first event of the next file.
Only the reader's own lines are written.

Exit status: 0 when every file opened and no compressed data were damaged,
1 otherwise, 2 on a usage error.
)",
                             RunEvents};
