#pragma once

#include "tools/cli/Command.h"

// `tuda stat`: a summary of data files at a glance.
extern const CommandEntry kStatCommand;
