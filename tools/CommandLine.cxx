#include "tools/CommandLine.h"

#include <algorithm>
#include <iostream>
#include <sstream>

#include "tools/ExitStatus.h"

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
    status = UsageError(name, error.what());
  }
  return false;
}

int UsageError(const std::string& name, const std::string& message)
{
  std::cerr << "tuda " << name << ": " << message << " (see tuda help " << name << ")" << std::endl;
  return kExitUsage;
}

int DataError(const std::string& name, const std::string& message)
{
  std::cerr << (name.empty() ? "tuda" : "tuda " + name) << ": " << message << std::endl;
  return kExitDataError;
}
