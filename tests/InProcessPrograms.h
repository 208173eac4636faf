#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/BuiltPrograms.h"
#include "tools/Tuda.h"
#include "tools/cli/CommandLine.h"
#include "tools/process/SeparatePrograms.h"
#ifdef TUDA_EXPORT
#include "tools/export/ExportCommand.h"
#endif
#ifdef TUDA_SPECTRA
#include "tools/spectra/SpectraCommand.h"
#endif

// `tuda` in a test's own process: the programs beside it that this build makes are run as
// commands here, as their own main runs them, instead of in the test's place. A test links the
// libraries of those programs (tests/CMakeLists.txt).

inline int RunProgramHere(const ProgramEntry& entry, [[maybe_unused]] const std::vector<std::string>& args)
{
#ifdef TUDA_EXPORT
  if (&entry == &kExportProgram) return RunSubcommand(entry.name, *kExportCommand.make(), args);
#endif
#ifdef TUDA_SPECTRA
  if (&entry == &kSpectraProgram) return RunSubcommand(entry.name, *kSpectraCommand.make(), args);
#endif
  ADD_FAILURE() << "tuda " << entry.name << " cannot run in a test's process";
  return -1;
}

// Runs `tuda` on `args`, as RunTuda does, in this process.
inline int RunTudaHere(const std::vector<std::string>& args) { return RunTuda(args, RunProgramHere); }
