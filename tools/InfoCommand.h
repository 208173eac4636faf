#pragma once

#include "tools/cli/Command.h"

// `tuda info`: the reader's settings and counters after decoding a whole file.
extern const CommandEntry kInfoCommand;
