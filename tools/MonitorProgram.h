#pragma once

#include <string>
#include <vector>

// A subcommand that is a program of its own beside tuda, which `tuda NAME ARGS` runs in its
// place with the same arguments: its exit status and signals are the program's.
struct ProgramEntry {
  const char* name;
  const char* summary;
  const char* program;  // the file name beside tuda
};

// `tuda monitor`: the web page of a run, built when its web server library is found.
extern const ProgramEntry kMonitorProgram;

// Runs the entry's program with `args` in this process's place. Returns only when it cannot:
// then "tuda NAME: cannot run PATH: REASON" on standard error, and kExitDataError.
int RunProgram(const ProgramEntry& entry, const std::vector<std::string>& args);
