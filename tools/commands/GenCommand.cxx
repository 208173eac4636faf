#include "tools/commands/Commands.h"

#include <iostream>
#include <limits>
#include <memory>

#include "reader/TudaFormat.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/OptionChecks.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/Interrupt.h"
#include "tools/console/Messages.h"
#include "tools/console/Progress.h"
#include "tools/console/Text.h"
#include "tools/output/OutputFile.h"
#include "writer/CompressedOutput.h"
#include "writer/SyntheticRun.h"

namespace {

constexpr const char* kName = "gen";
constexpr uint64_t kLargestCount = std::numeric_limits<uint64_t>::max();
constexpr unsigned kEventsPerLook = 1024;

class GenCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Writes a synthetic data file: events of tens of ADC and TDC items, now and then\n"
        "a few scaler and EPICS items. The same options give the same bytes everywhere.\n"
        "A name ending in .gz, .bz2, .xz, .zst or .lz4 gives a file compressed in that codec.\n"
        "A regular file is written under a temporary name beside OUT and renamed when\n"
        "complete; a device, a pipe or - (standard output) is written directly.");
    app.add_option("OUT", path, "the file to write, or - for standard output")->required()->check(NotEmpty());
    CLI::Option* events = AddCount(app, "--events", options.events, 1, kLargestCount, "write N events (default 10000)");
    CLI::Option* blocks = AddCount(app, "--blocks", options.blocks, 1, kLargestCount, "write exactly N blocks instead");
    events->excludes(blocks);
    AddCount(app, "--seed", options.seed, 0, kLargestCount, "seed of the generator (default 1)");
    AddDecimal(app, "--swapped", options.swappedFraction, 1.0,
               "share of the blocks written in the other byte order (default 0)")
        ->type_name("FRACTION");
    app.add_flag("--overwrite", overwrite, "replace an existing regular file")->disable_flag_override();
    app.footer(
        "Exit status: 0 when the whole file was written, 1 when it could not be written or\n"
        "OUT exists without --overwrite, 2 on a usage error, 130 after Ctrl-C, 128 + N after\n"
        "signal N of SIGTERM and SIGHUP (nothing is left behind).");
  }

  int Run() override
  {
    // Watched before the temporary file exists, so that no signal can leave it behind.
    InterruptWatch watch(WatchedSignals::kCtrlCAndEnd);
    OutputFile file;
    std::string error;
    if (!file.Open(path, overwrite, error)) return DataError(kName, error);
    watch.RemoveOnSecondInterrupt(file.TemporaryPath());
    const TCodec codec = CodecOfOutputName(path);
    std::unique_ptr<CompressedOutput> compressed;
    if (codec != TCodec::kNone) compressed = std::make_unique<CompressedOutput>(file.Stream(), path, codec);
    if (compressed && !compressed->Error().empty()) return DataError(kName, compressed->Error());
    std::ostream& out = compressed ? *compressed : file.Stream();
    uint64_t eventsDone = 0;
    uint64_t blocksDone = 0;
    ProgressLine progress(kName, ProgressUnit::kBytes, [&] { return Amount(eventsDone, blocksDone); }, path == "-",
                          kEventsPerLook);
    const uint64_t blocks = WriteSyntheticRun(out, options, [&](uint64_t events, uint64_t written) {
      eventsDone = events;
      blocksDone = written;
      progress.Tick();
      return !watch.Interrupted() && file.Good() && out.good();
    });
    progress.Clear();
    if (watch.Interrupted()) return ReportInterrupted(kName);
    if (compressed && !compressed->Close() && file.Good()) return DataError(kName, compressed->Error());
    if (!file.Commit(error)) return DataError(kName, error);
    std::cerr << "tuda " << kName << ": " << path << ": " << Counted(blocks, "block") << " of " << TEGBlockSize
              << " bytes" << (compressed ? std::string(", ") + CodecName(codec) + "-compressed" : "") << std::endl;
    return kExitOk;
  }

 private:
  // Bytes written against the whole, which for a count of events is reckoned from the share of
  // events written.
  ProgressAmount Amount(uint64_t events, uint64_t blocks) const
  {
    const uint64_t done = blocks * TEGBlockSize;
    if (options.blocks != 0) return {done, options.blocks * TEGBlockSize};
    const double share = events > 0 ? static_cast<double>(events) / static_cast<double>(options.events) : 0.0;
    return {done, share > 0.0 ? static_cast<uint64_t>(static_cast<double>(done) / share) : 0};
  }

  std::string path;
  SyntheticRunOptions options;
  bool overwrite = false;
};

}  // namespace

const CommandEntry kGenCommand{kName, "Write a synthetic data file", MakeCommand<GenCommand>};
