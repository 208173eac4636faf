#include "tools/Tuda.h"

#include <iostream>
#include <vector>

#include "reader/TCodec.h"

#include "tools/CheckCommand.h"
#include "tools/CommandLine.h"
#include "tools/DumpCommand.h"
#include "tools/EventsCommand.h"
#include "tools/ExportCommand.h"
#include "tools/ExitStatus.h"
#include "tools/GenCommand.h"
#include "tools/InfoCommand.h"
#include "tools/MonitorProgram.h"
#include "tools/OutputCheck.h"
#include "tools/RunCommand.h"
#include "tools/SpectraCommand.h"
#include "tools/StatCommand.h"
#include "tools/Text.h"
#include "tools/Version.h"

namespace {

constexpr const char* kHelpName = "help";
constexpr const char* kVersionOption = "--version";

// `tuda help [SUBCOMMAND]`: the overview, or a subcommand's help, on standard output.
class HelpCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description("Shows the overview of tuda, or the help of one subcommand: the same text as\n"
                    "'tuda SUBCOMMAND --help'.");
    app.add_option("SUBCOMMAND", subcommand, "the subcommand, help itself included");
    app.footer("Exit status: 0 when the help was written, 1 when standard output could not be\n"
               "written, 2 on a usage error (an unknown subcommand).");
  }

  int Run() override;

 private:
  std::string subcommand;
};

const CommandEntry kHelpCommand{kHelpName, "Show the help of tuda or of one subcommand", MakeCommand<HelpCommand>};

const CommandEntry* const kCommands[] = {&kRunCommand,    &kEventsCommand,  &kGenCommand,   &kDumpCommand,
                                         &kInfoCommand,   &kStatCommand,    &kCheckCommand, &kExportCommand,
                                         &kSpectraCommand, &kHelpCommand};

// Subcommands that are programs of their own beside tuda, as far as this build has them.
const std::vector<const ProgramEntry*> kPrograms{
#ifdef TUDA_MONITOR
    &kMonitorProgram,
#endif
};

constexpr size_t kNameColumn = 8;

const ProgramEntry* FindProgram(const std::string& name)
{
  for (const ProgramEntry* entry : kPrograms) {
    if (name == entry->name) return entry;
  }
  return nullptr;
}

const CommandEntry* FindCommand(const std::string& name)
{
  for (const CommandEntry* entry : kCommands) {
    if (name == entry->name) return entry;
  }
  return nullptr;
}

void PrintOverview(std::ostream& out)
{
  out << "Usage: tuda SUBCOMMAND [options] ARGS\n\n"
         "Decodes and inspects UK MIDAS list-mode data files of the TUDA detector array.\n\n"
         "Subcommands:\n";
  const auto line = [&out](const char* name, const char* summary) {
    out << "  " << Padded(name, kNameColumn) << summary << '\n';
  };
  for (const CommandEntry* entry : kCommands) {
    // Help comes last, after the programs beside tuda.
    if (entry == &kHelpCommand) {
      for (const ProgramEntry* program : kPrograms) line(program->name, program->summary);
    }
    line(entry->name, entry->summary);
  }
  out << "\nRun 'tuda help SUBCOMMAND' or 'tuda SUBCOMMAND --help' for its arguments and options.\n"
         "Exit status: 0 on success, 1 when a file could not be read or output not written,\n"
         "2 on a usage error, 130 after Ctrl-C.\n";
  const std::string codecs = CompiledCodecs();
  out << "\nData files are read as they are or compressed ("
      << (codecs.empty() ? std::string("none in this build") : codecs)
      << "), told from\ntheir first bytes; - names standard input, ./- a file named -.\n"
      << std::flush;
}

int UnknownCommand(const std::string& name)
{
  std::cerr << "tuda: unknown subcommand '" << name << "' (see tuda --help)" << std::endl;
  return kExitUsage;
}

// The subcommand's app with its options declared on the command.
std::unique_ptr<CLI::App> Declared(const CommandEntry& entry, Command& command)
{
  std::unique_ptr<CLI::App> app = MakeCommandApp(entry.name);
  command.Declare(*app);
  return app;
}

int HelpCommand::Run()
{
  if (subcommand.empty()) {
    PrintOverview(std::cout);
    return kExitOk;
  }
  const ProgramEntry* program = FindProgram(subcommand);
  if (program != nullptr) return RunProgram(*program, {"--help"});
  const CommandEntry* entry = FindCommand(subcommand);
  if (entry == nullptr) return UnknownCommand(subcommand);
  const std::unique_ptr<Command> command = entry->make();
  std::cout << Declared(*entry, *command)->help() << std::flush;
  return kExitOk;
}

int RunCommandLine(const std::vector<std::string>& args)
{
  if (args.empty()) {
    PrintOverview(std::cerr);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    PrintOverview(std::cout);
    return kExitOk;
  }
  if (args[0] == kVersionOption) {
    std::cout << "tuda " << TudaVersion() << std::endl;
    return kExitOk;
  }
  const ProgramEntry* program = FindProgram(args[0]);
  if (program != nullptr) return RunProgram(*program, std::vector<std::string>(args.begin() + 1, args.end()));
  const CommandEntry* entry = FindCommand(args[0]);
  if (entry == nullptr) return UnknownCommand(args[0]);
  const std::unique_ptr<Command> command = entry->make();
  const std::unique_ptr<CLI::App> app = Declared(*entry, *command);
  int status = kExitOk;
  if (!ParseCommandLine(*app, entry->name, std::vector<std::string>(args.begin() + 1, args.end()), status)) {
    return status;
  }
  return command->Run();
}

}  // namespace

int RunTuda(const std::vector<std::string>& args)
{
  const CommandEntry* entry = args.empty() ? nullptr : FindCommand(args[0]);
  return FinishOutput(entry != nullptr ? entry->name : "", RunCommandLine(args));
}
