#include "tools/CheckCommand.h"

#include <iostream>

#include "reader/TTudaData.h"
#include "tools/CommandLine.h"
#include "tools/ExitStatus.h"
#include "tools/FileCheck.h"
#include "tools/Interrupt.h"
#include "tools/OptionChecks.h"
#include "tools/ReaderProgress.h"

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
    app.footer(
        "Exit status: 0 when every file looks right and all output was written, 1 when a\n"
        "file looks wrong, does not open or standard output could not be written, 2 on a\n"
        "usage error, 130 after Ctrl-C.");
  }

  int Run() override
  {
    TTudaData reader;
    const InterruptWatch watch;
    ProgressLine progress(kName, ProgressUnit::kBytes, ReaderProgress(reader, files), true, 1);
    const auto afterBlock = [&] {
      if (all) progress.Tick();
      return KeepGoing(watch);
    };
    bool allRight = true;
    for (size_t i = 0; i < files.size() && KeepGoing(watch); ++i) {
      FileEvidence evidence;
      std::string error;
      if (!CheckFile(reader, files[i], all ? 0 : kCheckedBlocks, evidence, error, afterBlock)) {
        allRight = false;
        progress.Clear();
        DataError(kName, error);
        continue;
      }
      if (!KeepGoing(watch)) break;
      progress.Clear();
      PrintFinding(files[i], evidence);
      allRight = allRight && LooksRight(evidence);
    }
    progress.Clear();
    if (watch.Interrupted()) return ReportInterrupted(kName);
    return allRight ? kExitOk : kExitDataError;
  }

 private:
  std::vector<std::string> files;
  bool all = false;
};

}  // namespace

const CommandEntry kCheckCommand{kName, "Tell whether files hold data this reader decodes as written",
                                 MakeCommand<CheckCommand>};
