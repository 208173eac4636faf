#include "tools/process/ProgramProcess.h"
#include "tools/spectra/SpectraCommand.h"

// `tuda-spectra ARGS`, which `tuda spectra ARGS` runs in its place.
int main(int argc, char** argv) { return RunAsProgram(kSpectraCommand, argc, argv); }
