#include "tools/Options.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>

#include "tools/Command.h"

namespace {

const OptionRule* FindRule(const std::vector<OptionRule>& rules, const std::string& name)
{
  for (const OptionRule& rule : rules) {
    if (rule.name == name) return &rule;
  }
  return nullptr;
}

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

}  // namespace

bool ParseArgs(const std::vector<std::string>& args, const std::vector<OptionRule>& rules, ParsedArgs& parsed,
               std::string& error)
{
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      parsed.positional.insert(parsed.positional.end(), args.begin() + i + 1, args.end());
      return true;
    }
    if (!IsOption(arg)) {
      parsed.positional.push_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionRule* rule = FindRule(rules, name);
    if (rule == nullptr) {
      error = "unknown option " + name;
      return false;
    }
    if (!rule->takesValue) {
      if (equals != std::string::npos) {
        error = "option " + name + " takes no value";
        return false;
      }
      parsed.options[name] = "";
    } else if (equals != std::string::npos) {
      parsed.options[name] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      parsed.options[name] = args[++i];
    } else {
      error = "option " + name + " needs a value";
      return false;
    }
  }
  return true;
}

bool CountOption(const ParsedArgs& parsed, const std::string& name, uint64_t fallback, uint64_t minimum,
                 uint64_t& value, std::string& error)
{
  value = fallback;
  if (!parsed.Has(name)) return true;
  const std::string& text = parsed.options.at(name);
  char* end = nullptr;
  errno = 0;
  const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
  const bool whole = !text.empty() && text[0] >= '0' && text[0] <= '9' && *end == '\0' && errno == 0;
  if (!whole || number < minimum) {
    error = name + " needs a whole number of at least " + std::to_string(minimum) + ", not '" + text + "'";
    return false;
  }
  value = number;
  return true;
}

bool FractionOption(const ParsedArgs& parsed, const std::string& name, double fallback, double& value,
                    std::string& error)
{
  value = fallback;
  if (!parsed.Has(name)) return true;
  const std::string& text = parsed.options.at(name);
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(number >= 0.0 && number <= 1.0)) {
    error = name + " needs a fraction from 0 to 1, not '" + text + "'";
    return false;
  }
  value = number;
  return true;
}

int UsageError(const std::string& command, const std::string& message)
{
  std::cerr << "tuda " << command << ": " << message << " (see tuda help " << command << ")" << std::endl;
  return kExitUsage;
}

int DataError(const std::string& command, const std::string& message)
{
  std::cerr << "tuda " << command << ": " << message << std::endl;
  return kExitDataError;
}

std::string Counted(uint64_t count, const std::string& noun)
{
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Padded(const std::string& text, size_t width)
{
  return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}
