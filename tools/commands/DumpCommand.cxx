#include "tools/commands/Commands.h"

#include "reader/TTudaData.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/OptionChecks.h"
#include "tools/cli/ZstdWindowOption.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/Interrupt.h"
#include "tools/console/Messages.h"
#include "tools/console/Text.h"
#include "tools/input/FirstBlockCheck.h"
#include "tools/input/ReaderAccount.h"
#include "tools/input/ReaderProgress.h"

namespace {

constexpr const char* kName = "dump";
constexpr uint64_t kLargestBlockNumber = 4294967295ULL;

class DumpCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Lists the event words of blocks as the reader's DumpEvents writes them: one\n"
        "line per item, the event-start tokens, and the end of each block.");
    app.add_option("FILE", file, "the data file, - for standard input")->required()->check(NotEmpty());
    AddCount(app, "--block", first, 1, kLargestBlockNumber, "the first block to list, counting from 1 (default 1)");
    AddCount(app, "--blocks", count, 1, kLargestBlockNumber, "how many blocks to list (default 1)");
    account.Declare(app);
    window.Declare(app);
    app.footer(
        "Exit status: 0 when every chosen block was listed, 1 when the file does not open,\n"
        "ends before a chosen block or standard output could not be written, 2 on a usage\n"
        "error, 130 after Ctrl-C.");
    firstBlock.Declare(app, FirstBlockCheck::kEndsTheCommand);
  }

  int Run() override
  {
    const int status = ListBlocks();
    account.Write();
    return status;
  }

 private:
  int ListBlocks()
  {
    TTudaData reader;
    account.Install(reader);
    window.Install(reader);
    const InterruptWatch watch;
    if (firstBlock.Open(reader, file, watch.Flag()) == FirstBlockCheck::kRefused || !reader.IsOpen()) {
      return kExitDataError;
    }
    const std::vector<std::string> files{file};
    ProgressLine progress(kName, ProgressUnit::kBytes, ReaderProgress(reader, files), true, 1);
    // Blocks are counted from 1, as the reader's "End of block" line counts them.
    for (uint64_t block = 1; block < first + count; ++block) {
      if (!KeepGoing(watch)) break;
      if (!reader.GetDataBlock()) {
        progress.Clear();
        return DataError(kName, file + " holds only " + Counted(block - 1, "whole block"));
      }
      progress.Tick();
      if (block < first) continue;
      reader.DecodeHeader();
      reader.DumpEvents();
    }
    progress.Clear();
    return EndStatus(watch, kName, !reader.Source().Damaged());
  }

  std::string file;
  uint64_t first = 1;
  uint64_t count = 1;
  FirstBlockCheck firstBlock{kName};
  AccountLine account{kName};
  ZstdWindowOption window;
};

}  // namespace

const CommandEntry kDumpCommand{kName, "List the words of blocks", MakeCommand<DumpCommand>};
