#include "tools/input/DataOpen.h"

#include <cstring>
#include <fstream>
#include <iostream>

#include "reader/TTudaData.h"

bool OpenData(TTudaData& reader, const std::string& file, const std::string& command,
              const std::atomic<bool>& cancel)
{
  reader.Source().SetCancel(&cancel);
  reader.OpenDataFile(file.c_str());
  if (reader.IsOpen()) return true;
  const int reason = reader.Source().OpenErrorNumber();
  if (reason != 0) reader.Errors() << OpenFailureLine(command, file, reason) << std::endl;
  return false;
}

void TellWhyNotOpened(const std::string& command, const std::string& file)
{
  std::ifstream stream;
  TByteSource source;
  source.Open(stream, file.c_str());
  if (source.OpenErrorNumber() != 0) std::cerr << OpenFailureLine(command, file, source.OpenErrorNumber()) << std::endl;
}

std::string OpenFailureLine(const std::string& command, const std::string& file, int errorNumber)
{
  return "tuda " + command + ": " + file + ": " + std::strerror(errorNumber);
}
