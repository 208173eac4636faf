#pragma once

#include <string>

// The program's own lines about a failed command, on standard error, in the one message style:
// "tuda NAME: message". Below the command line, so that console output tells a lost write the
// same way a subcommand tells its faults.

// "tuda NAME: message (see tuda help NAME)" on standard error; returns kExitUsage.
int UsageError(const std::string& name, const std::string& message);

// "tuda NAME: message" on standard error ("tuda: message" for no name); returns kExitDataError.
int DataError(const std::string& name, const std::string& message);
