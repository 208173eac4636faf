#pragma once

#include <string>
#include <vector>

// Runs `tuda` on its arguments (without the program name): the overview, `help`, or one
// subcommand. Returns the exit status.
int RunTuda(const std::vector<std::string>& args);
