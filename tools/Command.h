#pragma once

#include <string>
#include <vector>

#include "tools/ExitStatus.h"

// One `tuda` subcommand: its name, the line `tuda --help` shows for it, the text of
// `tuda help NAME`, and the function that runs it on the arguments after its name.
struct Command {
  const char* name;
  const char* summary;
  const char* usage;
  int (*run)(const std::vector<std::string>& args);
};
