#pragma once

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/cli/Command.h"

// The one usage path of every subcommand, through CLI11; its lines are in tools/console/Messages.h.

// The app of `tuda NAME`: help first gives the usage line, then the description, the arguments,
// the options and the footer (each command's footer gives its exit statuses).
std::unique_ptr<CLI::App> MakeCommandApp(const std::string& name);

// Parses `args`, the arguments after the subcommand's name. Returns true when the command is to
// run; otherwise `status` is the exit status: the help on standard output for -h or --help
// (kExitOk), or a usage error on standard error (kExitUsage).
bool ParseCommandLine(CLI::App& app, const std::string& name, const std::vector<std::string>& args,
                      int& status);

// Declares `command` on the app of `tuda NAME`, parses `args` (the arguments after the name) onto
// it and runs it. Returns the exit status: the command's, or ParseCommandLine's when it is not to
// run.
int RunSubcommand(const std::string& name, Command& command, const std::vector<std::string>& args);
