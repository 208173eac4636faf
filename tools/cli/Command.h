#pragma once

#include <memory>

namespace CLI {
class App;
}

// One `tuda` subcommand. Declare binds its arguments and options to the command's own members
// on its CLI11 app and gives the app its description and its exit statuses (the help text is
// made from them); Run then does the work and returns the exit status. Run writes data on
// standard output and the program's own lines, "tuda NAME: ...", on standard error; whether
// standard output was written in full is checked after it returns.
class Command {
 public:
  virtual ~Command() = default;
  virtual void Declare(CLI::App& app) = 0;
  virtual int Run() = 0;
};

// What `tuda` knows of a subcommand before making it: its name, its line in the overview, and
// how to make it.
struct CommandEntry {
  const char* name;
  const char* summary;
  std::unique_ptr<Command> (*make)();
};

// The `make` of an entry: a new command of class C.
template <typename C>
std::unique_ptr<Command> MakeCommand()
{
  return std::make_unique<C>();
}
