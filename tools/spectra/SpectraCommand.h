#pragma once

#include "tools/cli/Command.h"

// `tuda spectra`: runs the source node plug-in on data files into a histogramming receiver and
// writes the spectra as pictures, bin tables and a page that shows them all.
extern const CommandEntry kSpectraCommand;
