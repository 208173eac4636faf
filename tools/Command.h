#pragma once

#include <string>
#include <vector>

// Exit statuses of every subcommand.
static constexpr int kExitOk = 0;
static constexpr int kExitDataError = 1;
static constexpr int kExitUsage = 2;
static constexpr int kExitInterrupted = 130;

// One `tuda` subcommand: its name, the line `tuda --help` shows for it, the text of
// `tuda help NAME`, and the function that runs it on the arguments after its name.
struct Command {
  const char* name;
  const char* summary;
  const char* usage;
  int (*run)(const std::vector<std::string>& args);
};
