#pragma once

#include "tools/cli/Command.h"

// `tuda events`: every event of one or more data files, exactly as the reader prints them.
extern const CommandEntry kEventsCommand;
