#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "writer/MidasFileWriter.h"

// Writes `events` to the file at `path` in blocks of one byte order, closed by an event-start
// token so that the reader returns the last event too.
inline void WriteRun(const std::string& path, const std::vector<WriterEvent>& events, bool swapped)
{
  std::ofstream file(path, std::ios::binary);
  BlockLayout layout;
  layout.swapped = swapped;
  MidasFileWriter writer(file, layout);
  for (const WriterEvent& event : events) writer.AddEvent(event);
  writer.AddToken(tokens::EventStart(0));
  writer.EndBlock();
}
