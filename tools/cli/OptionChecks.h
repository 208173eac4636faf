#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

// Options whose values are read strictly: anything but the form asked for is a usage error,
// with the option's name and the value refused. Numbers are decimal: no hexadecimal, no sign,
// no trailing characters, nothing beyond the range.

// A count: decimal digits only, from `least` to `most`.
CLI::Option* AddCount(CLI::App& app, const std::string& name, uint64_t& value, uint64_t least, uint64_t most,
                      const std::string& help);

// A decimal or exponent number, not negative, up to `most`.
CLI::Option* AddDecimal(CLI::App& app, const std::string& name, double& value, double most,
                        const std::string& help);

// `--jobs N`: how many files are read at a time, 1 to kMostJobs (default: the number of cores).
CLI::Option* AddJobsOption(CLI::App& app, uint64_t& jobs);

// The check of a name, a file's or a node's: it may not be empty.
CLI::Validator NotEmpty();
