#include "tools/commands/Commands.h"

#include <atomic>
#include <iostream>
#include <memory>

#include "filecheck/FileCheck.h"
#include "reader/TTudaData.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/OptionChecks.h"
#include "tools/cli/ZstdWindowOption.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/Interrupt.h"
#include "tools/console/Messages.h"
#include "tools/console/OutputCheck.h"
#include "tools/input/DataOpen.h"
#include "tools/input/FileJobs.h"
#include "tools/input/GatheredLines.h"
#include "tools/input/ReaderProgress.h"

namespace {

constexpr const char* kName = "check";
constexpr const char* kEvidenceIndent = "  ";

// "FILE: verdict", then the evidence, one finding a line.
void PrintFinding(const std::string& file, const FileEvidence& evidence)
{
  std::cout << file << ": " << Verdict(evidence) << '\n';
  for (const std::string& line : EvidenceLines(evidence)) std::cout << kEvidenceIndent << line << '\n';
  std::cout << std::flush;
}

// One file's check, made on a worker thread with a reader of its own, whose lines (a damage line)
// are gathered and written with the file's finding.
struct FileCheckResult {
  bool opened = false;
  FileEvidence evidence;
  std::string error;
  int errorNumber = 0;  // the system's reason why the file did not open, if it gave one
  std::unique_ptr<GatheredLines> lines = std::make_unique<GatheredLines>();
};

FileCheckResult CheckOneFile(const std::string& file, uint64_t maxBlocks, const ZstdWindowOption& window,
                             const InterruptWatch& watch, std::atomic<uint64_t>& bytesRead)
{
  TTudaData reader;
  window.Install(reader);
  FileCheckResult result;
  reader.Source().SetErrors(result.lines->Errors());
  reader.Source().SetCancel(&watch.Flag());
  SharedBytesRead shared(reader.Source(), bytesRead);
  const auto afterBlock = [&] {
    shared.Update();
    return !watch.Interrupted();
  };
  result.opened = CheckFile(reader, file, maxBlocks, result.evidence, result.error, afterBlock);
  if (!result.opened) result.errorNumber = reader.Source().OpenErrorNumber();
  return result;
}

class CheckCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Tells for each file whether it holds data this reader decodes as written: a\n"
        "one-line verdict, then the evidence (the codec of a compressed file; the block\n"
        "identifier and how far apart it repeats; the byte-order words; where the data\n"
        "lengths end against the end-of-block markers; events across blocks, group items,\n"
        "extended group items, unknown groups; the trailing piece). A file looks wrong when\n"
        "this reader would misframe or cut its data. Reads the first " +
        std::to_string(kCheckedBlocks) + " blocks of each file\nunless --all is given.");
    app.add_option("FILE", files, "data files, - for standard input")->required()->check(NotEmpty());
    app.add_flag("--all", all, "read every block, not only the first " + std::to_string(kCheckedBlocks))
        ->disable_flag_override();
    AddJobsOption(app, jobs);
    window.Declare(app);
    app.footer(
        "Exit status: 0 when every file looks right and all output was written, 1 when a\n"
        "file looks wrong, does not open or standard output could not be written, 2 on a\n"
        "usage error, 130 after Ctrl-C.");
  }

  int Run() override
  {
    const InterruptWatch watch;
    std::atomic<uint64_t> bytesRead{0};
    ProgressLine progress(kName, ProgressUnit::kBytes, SharedReaderProgress(bytesRead, files), true, 1);
    FileJobHooks hooks;
    hooks.keepGoing = [&watch] { return KeepGoing(watch); };
    // The verdicts delivered so far come out while the next file is read.
    hooks.waiting = [&] {
      WriteOutStandardOutput();
      if (all) progress.Tick();
    };
    hooks.interrupted = [&watch] { return watch.Interrupted(); };
    bool allRight = true;
    RunFileJobs<FileCheckResult>(
        files.size(), static_cast<unsigned>(jobs),
        [&](size_t index) { return CheckOneFile(files[index], all ? 0 : kCheckedBlocks, window, watch, bytesRead); },
        [&](size_t index, FileCheckResult& result) {
          progress.Clear();
          result.lines->WriteTo(std::cout, std::cerr);
          if (!result.opened) DataError(kName, result.error);
          if (result.errorNumber != 0) std::cerr << OpenFailureLine(kName, files[index], result.errorNumber) << std::endl;
          if (!result.opened || watch.Interrupted()) {
            allRight = false;
            return;
          }
          PrintFinding(files[index], result.evidence);
          allRight = allRight && LooksRight(result.evidence);
        },
        hooks);
    progress.Clear();
    return EndStatus(watch, kName, allRight);
  }

 private:
  std::vector<std::string> files;
  bool all = false;
  uint64_t jobs = Cores();
  ZstdWindowOption window;
};

}  // namespace

const CommandEntry kCheckCommand{kName, "Tell whether files hold data this reader decodes as written",
                                 MakeCommand<CheckCommand>};
