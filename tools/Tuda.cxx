#include "tools/Tuda.h"

#include <algorithm>
#include <iostream>

#include "tools/DumpCommand.h"
#include "tools/EventsCommand.h"
#include "tools/ExportCommand.h"
#include "tools/GenCommand.h"
#include "tools/InfoCommand.h"
#include "tools/Options.h"
#include "tools/RunCommand.h"
#include "tools/SpectraCommand.h"
#include "tools/StatCommand.h"

namespace {

const Command* const kCommands[] = {&kRunCommand,  &kEventsCommand, &kGenCommand,
                                    &kDumpCommand, &kInfoCommand,   &kStatCommand,
                                    &kExportCommand, &kSpectraCommand};

constexpr size_t kNameColumn = 8;

const Command* FindCommand(const std::string& name)
{
  for (const Command* command : kCommands) {
    if (name == command->name) return command;
  }
  return nullptr;
}

void PrintOverview(std::ostream& out)
{
  out << "Usage: tuda SUBCOMMAND [options] ARGS\n\n"
         "Decodes and inspects UK MIDAS list-mode data files of the TUDA detector array.\n\n"
         "Subcommands:\n";
  for (const Command* command : kCommands) {
    out << "  " << Padded(command->name, kNameColumn) << command->summary << '\n';
  }
  out << "\nRun 'tuda help SUBCOMMAND' for its arguments and options.\n" << std::flush;
}

int UnknownCommand(const std::string& name)
{
  std::cerr << "tuda: unknown subcommand '" << name << "' (see tuda --help)" << std::endl;
  return kExitUsage;
}

int Help(const std::vector<std::string>& args)
{
  if (args.empty()) {
    PrintOverview(std::cout);
    return kExitOk;
  }
  if (args.size() > 1) {
    std::cerr << "tuda help: give one subcommand (see tuda --help)" << std::endl;
    return kExitUsage;
  }
  const Command* command = FindCommand(args[0]);
  if (command == nullptr) return UnknownCommand(args[0]);
  std::cout << command->usage << std::flush;
  return kExitOk;
}

bool AsksForHelp(const std::vector<std::string>& args)
{
  const auto optionsEnd = std::find(args.begin(), args.end(), "--");
  return std::find(args.begin(), optionsEnd, "--help") != optionsEnd ||
         std::find(args.begin(), optionsEnd, "-h") != optionsEnd;
}

}  // namespace

int RunTuda(const std::vector<std::string>& args)
{
  if (args.empty()) {
    PrintOverview(std::cerr);
    return kExitUsage;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "--help" || args[0] == "-h") return Help({});
  if (args[0] == "help") return Help(rest);
  const Command* command = FindCommand(args[0]);
  if (command == nullptr) return UnknownCommand(args[0]);
  if (AsksForHelp(rest)) return Help({args[0]});
  return command->run(rest);
}
