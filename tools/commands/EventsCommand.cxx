#include "tools/commands/Commands.h"

#include "reader/TTudaData.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/FollowOptions.h"
#include "tools/cli/OptionChecks.h"
#include "tools/cli/ZstdWindowOption.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/Interrupt.h"
#include "tools/console/OutputCheck.h"
#include "tools/input/FirstBlockCheck.h"
#include "tools/input/ReaderAccount.h"
#include "tools/input/ReaderProgress.h"

namespace {

constexpr const char* kName = "events";

// Writes nothing of its own, so its output can be compared byte for byte with the reader's.
class EventsCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Decodes the files in order with one reader and prints every event it returns.\n"
        "The reader keeps its state from one file to the next: the items after a file's\n"
        "last event-start token come out with the first event of the next file.\n"
        "Only the reader's own lines are written, and a closing line on what it lost. On a\n"
        "file read only because of --force, the reader's lines stop at " +
        std::to_string(AccountingReporter::kMostLinesPerCause) +
        " for each cause\n(--all-messages writes them all).");
    app.add_option("FILE", files, "data files, - for standard input")->required()->check(NotEmpty());
    account.Declare(app);
    account.DeclareAllMessages(app);
    window.Declare(app);
    follow.Declare(app);
    app.footer(
        "Exit status: 0 when every file was read to its end and all output written, 1 when a\n"
        "file did not open or standard output could not be written, 2 on a usage error\n"
        "(--follow on a compressed file included), 130 after Ctrl-C.");
    firstBlock.Declare(app, FirstBlockCheck::kStepsOverTheFile);
  }

  int Run() override
  {
    TTudaData reader;
    account.Install(reader);
    window.Install(reader);
    follow.Apply(reader, WriteOutStandardOutput);
    const InterruptWatch watch;
    ProgressLine progress(kName, ProgressUnit::kBytes, ReaderProgress(reader, files), true,
                          ProgressLine::kEventsPerLook);
    bool allRead = true;
    for (const std::string& file : files) {
      if (!KeepGoing(watch)) break;
      const FirstBlockCheck::Start start = firstBlock.Open(reader, file, watch.Flag());
      allRead = allRead && start != FirstBlockCheck::kRefused && reader.IsOpen();
      if (start == FirstBlockCheck::kRefused) continue;
      // A file read only because of --force floods the console with the reader's lines.
      account.CapReaderLines(start == FirstBlockCheck::kForced);
      if (!follow.Accepts(reader, file)) return kExitUsage;
      do {
        TTudaEvent* event = nullptr;
        while (KeepGoing(watch) && (event = reader.GetNextEvent()) != nullptr) {
          event->Print(nullptr);
          event->Clear(nullptr);
          progress.Tick();
        }
      } while (follow.ReadsAgain(reader, file, firstBlock, watch.Flag()));
      allRead = allRead && !reader.Source().Damaged();
    }
    progress.Clear();
    const int status = EndStatus(watch, kName, allRead);
    account.Write();
    return status;
  }

 private:
  std::vector<std::string> files;
  FirstBlockCheck firstBlock{kName};
  AccountLine account{kName};
  ZstdWindowOption window;
  FollowOptions follow{kName};
};

}  // namespace

const CommandEntry kEventsCommand{kName, "Decode data files and print every event", MakeCommand<EventsCommand>};
