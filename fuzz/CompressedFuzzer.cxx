// Feeds arbitrary bytes, most of them grown from the compressed seeds, to the reader as a data
// file: decodes to the end, then opens the file again and closes it while the helper thread may
// still be decoding ahead.
#include "fuzz/FuzzInput.h"
#include "reader/TTudaData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const QuietConsole quiet;
  const std::string path = WriteInputFile(data, size);
  TTudaData reader;
  reader.OpenDataFile(path.c_str());
  while (TTudaEvent* event = reader.GetNextEvent()) event->Clear(nullptr);
  reader.OpenDataFile(path.c_str());
  reader.GetDataBlock();
  reader.CloseDataFile();
  return 0;
}
