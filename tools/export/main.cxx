#include "tools/process/ProgramProcess.h"
#include "tools/export/ExportCommand.h"

// `tuda-export ARGS`, which `tuda export ARGS` runs in its place.
int main(int argc, char** argv) { return RunAsProgram(kExportCommand, argc, argv); }
