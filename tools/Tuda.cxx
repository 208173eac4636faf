#include "tools/Tuda.h"

#include <iostream>
#include <memory>
#include <vector>

#include "reader/TCodec.h"

#include "tools/cli/CommandLine.h"
#include "tools/commands/Commands.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/OutputCheck.h"
#include "tools/console/Text.h"
#include "tools/process/Version.h"

namespace {

constexpr const char* kHelpName = "help";
constexpr const char* kVersionOption = "--version";
constexpr const char* kNotBuilt = " (not built)";
constexpr size_t kNameColumn = 8;

// A subcommand that is a program beside tuda, and whether this build made it (its CMake option).
struct SeparateProgram {
  const ProgramEntry& entry;
  bool built;
};

// In the overview's order: after the commands tuda runs in its own process, before help.
const SeparateProgram kPrograms[] = {
    {kExportProgram, kExportBuilt}, {kSpectraProgram, kSpectraBuilt}, {kMonitorProgram, kMonitorBuilt}};

// `tuda help [SUBCOMMAND]`: the overview, or a subcommand's help, on standard output. A
// program's help is its own, run as `tuda NAME` would run it.
class HelpCommand : public Command {
 public:
  explicit HelpCommand(ProgramRunner runProgram) : runProgram(runProgram) {}

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
  ProgramRunner runProgram;
  std::string subcommand;
};

// Made with the program runner (see Make), not by the entry.
const CommandEntry kHelpCommand{kHelpName, "Show the help of tuda or of one subcommand", nullptr};

const CommandEntry* const kCommands[] = {&kRunCommand,  &kEventsCommand, &kGenCommand,   &kDumpCommand,
                                         &kInfoCommand, &kStatCommand,   &kCheckCommand, &kHelpCommand};

std::unique_ptr<Command> Make(const CommandEntry& entry, ProgramRunner runProgram)
{
  if (&entry == &kHelpCommand) return std::make_unique<HelpCommand>(runProgram);
  return entry.make();
}

const SeparateProgram* FindProgram(const std::string& name)
{
  for (const SeparateProgram& program : kPrograms) {
    if (name == program.entry.name) return &program;
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
  const auto line = [&out](const char* name, const char* summary, const char* mark) {
    out << "  " << Padded(name, kNameColumn) << summary << mark << '\n';
  };
  for (const CommandEntry* entry : kCommands) {
    if (entry == &kHelpCommand) {
      for (const SeparateProgram& program : kPrograms) {
        line(program.entry.name, program.entry.summary, program.built ? "" : kNotBuilt);
      }
    }
    line(entry->name, entry->summary, "");
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

// A program this build did not make is told in one line; nothing was run.
int RunSeparateProgram(const SeparateProgram& program, const std::vector<std::string>& args,
                       ProgramRunner runProgram)
{
  if (program.built) return runProgram(program.entry, args);
  std::cerr << "tuda " << program.entry.name << ": " << program.entry.absence << std::endl;
  return kExitDataError;
}

// `tuda NAME ARGS` for a subcommand: a program beside tuda, or a command made and run here.
int RunNamed(const std::string& name, const std::vector<std::string>& args, ProgramRunner runProgram)
{
  const SeparateProgram* program = FindProgram(name);
  if (program != nullptr) return RunSeparateProgram(*program, args, runProgram);
  const CommandEntry* entry = FindCommand(name);
  if (entry == nullptr) return UnknownCommand(name);
  return RunSubcommand(entry->name, *Make(*entry, runProgram), args);
}

int HelpCommand::Run()
{
  if (subcommand.empty()) {
    PrintOverview(std::cout);
    return kExitOk;
  }
  return RunNamed(subcommand, {"--help"}, runProgram);
}

int RunCommandLine(const std::vector<std::string>& args, ProgramRunner runProgram)
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
  return RunNamed(args[0], std::vector<std::string>(args.begin() + 1, args.end()), runProgram);
}

// The subcommand's name that a failed write to standard output is told under; none when the
// first argument names none.
std::string SubcommandName(const std::vector<std::string>& args)
{
  if (args.empty()) return "";
  if (FindProgram(args[0]) != nullptr || FindCommand(args[0]) != nullptr) return args[0];
  return "";
}

}  // namespace

int RunTuda(const std::vector<std::string>& args, ProgramRunner runProgram)
{
  return FinishOutput(SubcommandName(args), RunCommandLine(args, runProgram));
}
