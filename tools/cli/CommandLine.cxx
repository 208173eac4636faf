#include "tools/cli/CommandLine.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <sstream>

#include "tools/console/ExitStatus.h"
#include "tools/console/Messages.h"

namespace {

constexpr size_t kOptionColumn = 24;

// Usage first, as a reader looks for it; then what the command does, its arguments, options and
// exit statuses.
class HelpLayout : public CLI::Formatter {
 public:
  HelpLayout() { column_width(kOptionColumn); }

  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override
  {
    std::ostringstream out;
    out << make_usage(app, name) << '\n' << app->get_description() << '\n';
    out << make_positionals(app) << make_groups(app, mode) << '\n' << app->get_footer() << '\n';
    return out.str();
  }
};

// The option `arg` names ("--jobs=2" names --jobs, "-j2" names -j); null for none.
const CLI::Option* OptionNamed(const CLI::App& app, const std::string& arg)
{
  const bool isLong = arg.compare(0, 2, "--") == 0;
  return app.get_option_no_throw(isLong ? arg.substr(0, arg.find('=')) : arg.substr(0, 2));
}

bool TakesFiles(const CLI::App& app)
{
  return !app.get_options([](const CLI::Option* option) { return option->get_positional(); }).empty();
}

// The arguments' first unknown option or repeated single-value option, told as a person reads
// it; empty when there is neither.
std::string MisusedOption(const CLI::App& app, const std::vector<std::string>& args)
{
  std::map<const CLI::Option*, unsigned> seen;
  for (size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
    const std::string& arg = args[i];
    // A name, or - for standard input.
    if (arg.size() < 2 || arg[0] != '-') continue;
    const CLI::Option* option = OptionNamed(app, arg);
    const bool isLong = arg.compare(0, 2, "--") == 0;
    if (option == nullptr) {
      const std::string hint = !isLong && TakesFiles(app)
                                   ? " (a file whose name begins with - is reached as ./" + arg + ")"
                                   : "";
      return "unknown option " + arg + hint;
    }
    if (option->get_items_expected_max() == 1 &&
        option->get_multi_option_policy() == CLI::MultiOptionPolicy::Throw && ++seen[option] == 2) {
      return arg.substr(0, isLong ? arg.find('=') : 2) + " given twice";
    }
    // Its value follows as the next argument, whatever it begins with.
    const bool valueInside = isLong ? arg.find('=') != std::string::npos : arg.size() > 2;
    if (option->get_items_expected_min() > 0 && !valueInside) ++i;
  }
  return "";
}

}  // namespace

std::unique_ptr<CLI::App> MakeCommandApp(const std::string& name)
{
  auto app = std::make_unique<CLI::App>("", "tuda " + name);
  app->formatter(std::make_shared<HelpLayout>());
  app->set_help_flag("-h,--help", "show this help and exit");
  return app;
}

bool ParseCommandLine(CLI::App& app, const std::string& name, const std::vector<std::string>& args,
                      int& status)
{
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
    return true;
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help() << std::flush;
    status = kExitOk;
  } catch (const CLI::ParseError& error) {
    // CLI11 may name another fault first ("FILE is required" for a file taken as an option).
    const std::string misused = MisusedOption(app, args);
    status = UsageError(name, misused.empty() ? error.what() : misused);
  }
  return false;
}

int RunSubcommand(const std::string& name, Command& command, const std::vector<std::string>& args)
{
  const std::unique_ptr<CLI::App> app = MakeCommandApp(name);
  command.Declare(*app);
  int status = kExitOk;
  if (!ParseCommandLine(*app, name, args, status)) return status;
  return command.Run();
}
