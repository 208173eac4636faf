#pragma once

#include "tools/cli/Command.h"

// `tuda monitor`: decodes a data file on one thread and serves its spectra and the reader's
// figures as a web page and a JSON API.
extern const CommandEntry kMonitorCommand;
