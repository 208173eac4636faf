// Counts the events of one data file with the installed reader: `count_events FILE` prints the
// count on standard output; exit 1 when the file does not open.
#include <cstdint>
#include <iostream>

#include "reader/TTudaData.h"

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::cerr << "usage: count_events FILE" << std::endl;
    return 2;
  }
  TTudaData reader;
  reader.OpenDataFile(argv[1]);
  if (!reader.fFile.is_open()) return 1;
  uint64_t events = 0;
  while (TTudaEvent* event = reader.GetNextEvent()) {
    ++events;
    event->Clear("");
  }
  std::cout << events << std::endl;
  return 0;
}
