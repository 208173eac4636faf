#pragma once

#include <string>

#include "tools/SeparatePrograms.h"

// Which programs beside tuda this build makes (their CMake options): tests of a subcommand that
// is such a program run only where it is built; elsewhere tuda tells its absence.

#ifdef TUDA_EXPORT
constexpr bool kExportBuilt = true;
#else
constexpr bool kExportBuilt = false;
#endif
#ifdef TUDA_SPECTRA
constexpr bool kSpectraBuilt = true;
#else
constexpr bool kSpectraBuilt = false;
#endif
#ifdef TUDA_MONITOR
constexpr bool kMonitorBuilt = true;
#else
constexpr bool kMonitorBuilt = false;
#endif

// Whether `tuda SUBCOMMAND` runs here: every subcommand but a program this build left out.
inline bool Built(const std::string& subcommand)
{
  if (subcommand == kExportProgram.name) return kExportBuilt;
  if (subcommand == kSpectraProgram.name) return kSpectraBuilt;
  if (subcommand == kMonitorProgram.name) return kMonitorBuilt;
  return true;
}
