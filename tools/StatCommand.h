#pragma once

#include "tools/Command.h"

// `tuda stat`: a summary of data files at a glance.
extern const CommandEntry kStatCommand;
