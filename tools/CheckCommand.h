#pragma once

#include "tools/cli/Command.h"

// `tuda check`: whether each file holds data this reader decodes as written, with the evidence.
extern const CommandEntry kCheckCommand;
