// Feeds arbitrary bytes to the reader as a data file and dumps every block.
#include "fuzz/FuzzInput.h"
#include "reader/TTudaData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const QuietConsole quiet;
  const std::string path = WriteInputFile(data, size);
  TTudaData reader;
  // Before any block is loaded the dump has no cursor to start from; it must cope.
  reader.DumpEvents();
  reader.OpenDataFile(path.c_str());
  while (reader.GetDataBlock()) {
    reader.DecodeHeader();
    reader.DumpEvents();
  }
  return 0;
}
