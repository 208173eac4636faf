#pragma once

#include <string>

// The look a subcommand that hands a data file to the source node takes first: the node is known
// only through KXBase and cannot tell what its reader skips, so its first blocks are examined as
// `tuda check` examines them. When they do not look right, one "tuda NAME: " line on standard
// error says what the reader will skip or misread. Only a regular file is looked at: reading the
// start of a pipe would take it from the node. Costs a few blocks' reading.
void WarnIfFileLooksWrong(const std::string& name, const std::string& file);
