#pragma once

#include "tools/Command.h"

// `tuda gen`: writes a realistic synthetic data file.
extern const CommandEntry kGenCommand;
