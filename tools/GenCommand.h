#pragma once

#include "tools/cli/Command.h"

// `tuda gen`: writes a realistic synthetic data file.
extern const CommandEntry kGenCommand;
