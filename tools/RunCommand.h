#pragma once

#include "tools/cli/Command.h"

// `tuda run`: loads the source node plug-in and runs one graph, source node to a receiver that
// lists what it is sent.
extern const CommandEntry kRunCommand;
