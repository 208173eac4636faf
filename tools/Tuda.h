#pragma once

#include <string>
#include <vector>

#include "tools/process/SeparatePrograms.h"

// How `tuda` runs a subcommand that is a program beside it: RunProgram, in this process's place.
// Tests run the program's command in their own process instead.
using ProgramRunner = int (*)(const ProgramEntry& entry, const std::vector<std::string>& args);

// Runs `tuda` on its arguments (without the program name): the overview, `help`, or one
// subcommand. Returns the exit status.
int RunTuda(const std::vector<std::string>& args, ProgramRunner runProgram = RunProgram);
