// Feeds arbitrary bytes to the reader as a data file and decodes to the end, twice, so that the
// items left over from the first pass carry into the second.
#include "fuzz/FuzzInput.h"
#include "reader/TTudaData.h"

namespace {

void DecodeToEnd(TTudaData& reader)
{
  while (TTudaEvent* event = reader.GetNextEvent()) event->Clear(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const QuietConsole quiet;
  const std::string path = WriteInputFile(data, size);
  TTudaData reader;
  reader.OpenDataFile(path.c_str());
  if (TTudaEvent* first = reader.GetNextEvent()) {
    first->Clear(nullptr);
    // Assigning in the middle of a block must leave the reader a cursor it can use.
    reader = TTudaData(reader);
  }
  DecodeToEnd(reader);
  reader.OpenDataFile(path.c_str());
  DecodeToEnd(reader);
  return 0;
}
