#pragma once

#include "tools/cli/Command.h"

// `tuda dump`: the reader's word-by-word listing of chosen blocks.
extern const CommandEntry kDumpCommand;
