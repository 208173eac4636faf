#pragma once

#include "tools/cli/Command.h"

// The subcommands tuda runs in its own process, one file each, in the order of tuda's overview.
// The programs beside tuda declare theirs in their own folders.

// `tuda run`: loads the source node plug-in and runs one graph, source node to a receiver that
// lists what it is sent.
extern const CommandEntry kRunCommand;
// `tuda events`: every event of one or more data files, exactly as the reader prints them.
extern const CommandEntry kEventsCommand;
// `tuda gen`: writes a realistic synthetic data file.
extern const CommandEntry kGenCommand;
// `tuda dump`: the reader's word-by-word listing of chosen blocks.
extern const CommandEntry kDumpCommand;
// `tuda info`: the reader's settings and counters after decoding a whole file.
extern const CommandEntry kInfoCommand;
// `tuda stat`: a summary of data files at a glance.
extern const CommandEntry kStatCommand;
// `tuda check`: whether each file holds data this reader decodes as written, with the evidence.
extern const CommandEntry kCheckCommand;
