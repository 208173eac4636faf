#pragma once

#include <atomic>
#include <string>

class TTudaData;

// Opens the data file `file` on `reader` for the command `command`, whose reads end as at the
// end of the data once `cancel` is raised (by Ctrl-C, from any thread). When the file does not
// open, the reader's own line is followed by the program's, with the system's reason ("tuda
// stat: run.dat: Permission denied"), on the reader's error stream. True when the file is open.
bool OpenData(TTudaData& reader, const std::string& file, const std::string& command,
              const std::atomic<bool>& cancel);

// For a file another reader (the node's) did not open, after that reader's own lines: the
// program's line with the system's reason, found by trying the file again, on standard error.
// Not for standard input, which the try would read from.
void TellWhyNotOpened(const std::string& command, const std::string& file);

// "tuda COMMAND: FILE: REASON" for the system's error number `errorNumber`.
std::string OpenFailureLine(const std::string& command, const std::string& file, int errorNumber);
