#pragma once

#include "tools/cli/Command.h"

// What tuda and each program beside it that runs one of its subcommands do first in main, before
// standard output is set up (StandardOutput), so that a subcommand behaves the same run either
// way: closed standard descriptors are held on the null device, and a closed pipe ends the
// program quietly, as it ends other command-line tools, even when the caller ignored the signal.
void PrepareProcess();

// The main of a program beside tuda that runs the subcommand `entry`: `tuda-NAME ARGS` does what
// `tuda NAME ARGS` did in tuda's own process. Returns the exit status.
int RunAsProgram(const CommandEntry& entry, int argc, char** argv);
