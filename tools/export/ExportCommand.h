#pragma once

#include "tools/cli/Command.h"

// `tuda export`: decodes data files with the reader and writes every item of every event it
// returns, as HDF5 or CSV.
extern const CommandEntry kExportCommand;
