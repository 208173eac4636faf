#pragma once

#include <string>

class InterruptWatch;
class TTudaData;

// Opens the data file `file` on `reader` for the command `command`, whose reads end as at the
// end of the data when `watch` sees Ctrl-C. When the file does not open, the reader's own line
// is followed by the program's, with the system's reason ("tuda stat: run.dat: Permission
// denied"), on the reader's error stream. True when the file is open.
bool OpenData(TTudaData& reader, const std::string& file, const std::string& command, const InterruptWatch& watch);

// Why the data file `file` does not open: the system's error number, or 0 when it opens or no
// system error stands behind the refusal. Not for standard input, which it would read from.
int OpenErrorNumberOf(const std::string& file);

// "tuda COMMAND: FILE: REASON" for the system's error number `errorNumber`.
std::string OpenFailureLine(const std::string& command, const std::string& file, int errorNumber);
