#pragma once

#include <string>
#include <vector>

// Subcommands that are programs of their own beside tuda, each built behind its own CMake option
// with the heavy library it needs, so that tuda itself loads none of them. `tuda NAME ARGS` runs
// the program in its place with the same arguments: its output, exit status and signals are the
// program's. The entries are read by tuda and by each program, so that both tell the same name.
struct ProgramEntry {
  const char* name;
  const char* summary;
  const char* program;  // the file name beside tuda
  const char* absence;  // what a build without the program says, after "tuda NAME: "
};

// `tuda export`: events as HDF5 or CSV, built when HDF5 is found.
inline constexpr ProgramEntry kExportProgram{
    "export", "Write every decoded item as HDF5 or CSV", "tuda-export",
    "this build has no HDF5 export (configure with -DTUDA_EXPORT=ON and libhdf5-dev)"};

// `tuda spectra`: pictures of the spectra the node delivers, built when PLplot is found.
inline constexpr ProgramEntry kSpectraProgram{
    "spectra", "Draw the spectra the source node delivers", "tuda-spectra",
    "this build has no spectra pictures (configure with -DTUDA_SPECTRA=ON and libplplot-dev)"};

// `tuda monitor`: the web page of a run, built when its web server library is found.
inline constexpr ProgramEntry kMonitorProgram{
    "monitor", "Serve a web page of a run's spectra while it is read", "tuda-monitor",
    "this build has no live spectra in a browser (configure with -DTUDA_MONITOR=ON and libcpp-httplib-dev)"};

// Which of them this build makes (their CMake options), for tuda and its tests alike.
#ifdef TUDA_EXPORT
constexpr bool kExportBuilt = true;
#else
constexpr bool kExportBuilt = false;
#endif
#ifdef TUDA_SPECTRA
constexpr bool kSpectraBuilt = true;
#else
constexpr bool kSpectraBuilt = false;
#endif
#ifdef TUDA_MONITOR
constexpr bool kMonitorBuilt = true;
#else
constexpr bool kMonitorBuilt = false;
#endif

// Runs the entry's program with `args` in this process's place. Returns only when it cannot:
// then "tuda NAME: cannot run PATH: REASON" on standard error, and kExitDataError.
int RunProgram(const ProgramEntry& entry, const std::vector<std::string>& args);
