#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The option parser and message helpers every subcommand shares.

// One option a subcommand accepts, named with its dashes ("--events"). A value option takes the
// next argument or the text after "=".
struct OptionRule {
  std::string name;
  bool takesValue;
};

// Arguments split into options and positional arguments; "--" ends the options.
struct ParsedArgs {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;

  bool Has(const std::string& name) const { return options.count(name) != 0; }
};

// False, with a one-line `error`, on an unknown option or a value option without its value.
bool ParseArgs(const std::vector<std::string>& args, const std::vector<OptionRule>& rules, ParsedArgs& parsed,
               std::string& error);

// The option's whole decimal value, `fallback` when it is absent; false, with `error`, when the
// value is not a whole number of at least `minimum`.
bool CountOption(const ParsedArgs& parsed, const std::string& name, uint64_t fallback, uint64_t minimum,
                 uint64_t& value, std::string& error);

// The option's value as a fraction from 0 to 1, `fallback` when it is absent.
bool FractionOption(const ParsedArgs& parsed, const std::string& name, double fallback, double& value,
                    std::string& error);

// "tuda COMMAND: message (see tuda help COMMAND)" on standard error; returns kExitUsage.
int UsageError(const std::string& command, const std::string& message);

// "tuda COMMAND: message" on standard error; returns kExitDataError.
int DataError(const std::string& command, const std::string& message);

// "1 block", "3 blocks": `count` and `noun`, with an "s" unless the count is one.
std::string Counted(uint64_t count, const std::string& noun);

// `text` followed by blanks up to `width` characters; the stream's own state is left alone.
std::string Padded(const std::string& text, size_t width);
