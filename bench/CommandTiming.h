#pragma once

#include <string>
#include <vector>

// For the benchmarks that time whole programs, run through the shell round by round.

// Runs `command` with /bin/sh; true when it exited 0.
bool Shell(const std::string& command);
// The seconds `command` took; a failed command ends the benchmark `bench` with a line naming it.
double TimedSeconds(const std::string& command, const char* bench);
double Median(std::vector<double> values);
// The program `name` in the folder of the running benchmark (the build's bin folder).
std::string BesideBenchmark(const std::string& name);
