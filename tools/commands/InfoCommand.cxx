#include "tools/commands/Commands.h"

#include <chrono>

#include "reader/TTudaData.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/OptionChecks.h"
#include "tools/cli/ZstdWindowOption.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/Interrupt.h"
#include "tools/input/FirstBlockCheck.h"
#include "tools/input/ReaderAccount.h"
#include "tools/input/ReaderProgress.h"

namespace {

constexpr const char* kName = "info";

class InfoCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Decodes the whole file, then prints the reader's settings and counters and the\n"
        "data volume it sifted in the elapsed whole seconds.");
    app.add_option("FILE", file, "the data file, - for standard input")->required()->check(NotEmpty());
    app.add_flag("--debug", debug, "also list the four group sets")->disable_flag_override();
    account.Declare(app);
    account.DeclareAllMessages(app);
    window.Declare(app);
    app.footer(
        "Exit status: 0 when the file was read to its end and all output written, 1 when it\n"
        "does not open or standard output could not be written, 2 on a usage error, 130\n"
        "after Ctrl-C (the counters so far are printed).");
    firstBlock.Declare(app, FirstBlockCheck::kEndsTheCommand);
  }

  int Run() override
  {
    TTudaData reader;
    reader.SetDebug(debug);
    account.Install(reader);
    account.CapReaderLines(true);
    window.Install(reader);
    const InterruptWatch watch;
    if (firstBlock.Open(reader, file, watch.Flag()) == FirstBlockCheck::kRefused || !reader.IsOpen()) {
      return kExitDataError;
    }

    const std::vector<std::string> files{file};
    ProgressLine progress(kName, ProgressUnit::kBytes, ReaderProgress(reader, files), false,
                          ProgressLine::kEventsPerLook);
    const auto start = std::chrono::steady_clock::now();
    TTudaEvent* event = nullptr;
    while (KeepGoing(watch) && (event = reader.GetNextEvent()) != nullptr) {
      event->Clear(nullptr);
      progress.Tick();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    progress.Clear();
    reader.Print(nullptr);
    reader.PrintStatus(static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count()));
    const int status = EndStatus(watch, kName, !reader.Source().Damaged());
    account.Write();
    return status;
  }

 private:
  std::string file;
  bool debug = false;
  FirstBlockCheck firstBlock{kName};
  AccountLine account{kName};
  ZstdWindowOption window;
};

}  // namespace

const CommandEntry kInfoCommand{kName, "Decode a file and print the reader's counters", MakeCommand<InfoCommand>};
