#pragma once

#include "tools/Command.h"

// `tuda info`: the reader's settings and counters after decoding a whole file.
extern const CommandEntry kInfoCommand;
