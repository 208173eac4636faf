#pragma once

#include <string>

#include "tools/process/SeparatePrograms.h"

// Whether `tuda SUBCOMMAND` runs here: every subcommand but a program this build left out.
inline bool Built(const std::string& subcommand)
{
  if (subcommand == kExportProgram.name) return kExportBuilt;
  if (subcommand == kSpectraProgram.name) return kSpectraBuilt;
  if (subcommand == kMonitorProgram.name) return kMonitorBuilt;
  return true;
}
