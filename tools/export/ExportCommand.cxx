#include "tools/export/ExportCommand.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>

#include "reader/TTudaData.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/FollowOptions.h"
#include "tools/cli/OptionChecks.h"
#include "tools/cli/ZstdWindowOption.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/Interrupt.h"
#include "tools/console/Messages.h"
#include "tools/console/OutputCheck.h"
#include "tools/export/CsvEventSink.h"
#include "tools/export/Hdf5EventSink.h"
#include "tools/export/StreamRedirect.h"
#include "tools/input/FirstBlockCheck.h"
#include "tools/input/ReaderAccount.h"
#include "tools/input/ReaderProgress.h"
#include "tools/output/OutputFile.h"
#include "tools/process/SeparatePrograms.h"

namespace {

constexpr const char* kName = kExportProgram.name;
constexpr const char* kStandardOutput = "-";
constexpr const char* kCsvExtension = ".csv";
constexpr const char* kCsvFormat = "csv";
constexpr const char* kHdf5Format = "hdf5";
constexpr uint64_t kLargestCount = std::numeric_limits<uint64_t>::max();

using Clock = std::chrono::steady_clock;

bool EndsWith(const std::string& text, const std::string& end)
{
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

uint64_t ItemsOf(const TTudaEvent& event)
{
  return event.adcItems.size() + event.tdcItems.size() + event.scalerItems.size() + event.epicsItems.size();
}

class ExportCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Decodes the files in order with one reader, as tuda events does, and writes every\n"
        "item of every event it returns, events numbered from 0 in that order.\n\n"
        "HDF5: for each kind K of adc, tdc, scaler and epics, the datasets /K/channel,\n"
        "/K/value (unsigned 16-bit for adc and tdc, unsigned 32-bit for scaler, 32-bit float\n"
        "for epics) and /K/offsets (one more row than events: the items of event i are rows\n"
        "offsets[i] to offsets[i+1]); on the root the attributes files, events,\n"
        "first_event and tuda_version (the program's version). CSV: the header line\n"
        "event,kind,channel,value and one row per item.\n"
        "A regular file is written under a temporary name beside OUT and renamed when\n"
        "complete.");
    app.add_option("FILE", files, "data files, - for standard input")->required()->check(NotEmpty());
    app.add_option("--out", out,
                   "the file to write; - writes CSV to standard output, and the reader's own lines "
                   "then go to standard error")
        ->required()
        ->check(NotEmpty())
        ->type_name("OUT");
    app.add_option("--format", format, "hdf5 or csv (default: csv for - and names ending in .csv, hdf5 otherwise)")
        ->check(CLI::IsMember({kHdf5Format, kCsvFormat}))
        ->type_name("F");
    AddCount(app, "--skip", skip, 0, kLargestCount, "pass over the first N events (they keep their numbers)");
    AddCount(app, "--events", limit, 0, kLargestCount,
             "stop after writing N events (default 0: all, as --steps 0 in run and spectra)");
    app.add_flag("--compress", compress, "shuffle and deflate the HDF5 datasets (smaller, slower)")
        ->disable_flag_override();
    app.add_flag("--overwrite", overwrite, "replace an existing regular file")->disable_flag_override();
    account.Declare(app);
    account.DeclareAllMessages(app);
    window.Declare(app);
    follow.Declare(app);
    app.footer(
        "A progress line is shown on standard error while it is a terminal, unless the CSV\n"
        "goes to that terminal.\n\n"
        "Exit status: 0 when every file was read to its end and the output written, 1 when a\n"
        "file did not open, the output could not be written or OUT exists without\n"
        "--overwrite (nothing is left behind when no file opened), 2 on a usage error\n"
        "(--follow on a compressed file included: nothing is left behind), 130\n"
        "after Ctrl-C, 128 + N after signal N of SIGTERM and SIGHUP (nothing is left behind).");
    firstBlock.Declare(app, FirstBlockCheck::kStepsOverTheFile);
  }

  int Run() override
  {
    account.Install(reader);
    account.CapReaderLines(true);
    window.Install(reader);
    follow.Apply(reader, WriteOutStandardOutput);
    const int status = ExportAll();
    account.Write();
    return status;
  }

 private:
  int ExportAll()
  {
    if (format.empty()) format = out == kStandardOutput || EndsWith(out, kCsvExtension) ? kCsvFormat : kHdf5Format;
    const bool csv = format == kCsvFormat;
    if (out == kStandardOutput && !csv) return UsageError(kName, "standard output takes CSV only");
    if (compress && csv) return UsageError(kName, "--compress applies to HDF5 only");

    // Watched before the temporary file exists, so that no signal can leave it behind.
    InterruptWatch watch(WatchedSignals::kCtrlCAndEnd);
    OutputFile output;
    std::string error;
    if (!output.Open(out, overwrite, error)) return DataError(kName, error);
    watch.RemoveOnSecondInterrupt(output.TemporaryPath());
    std::unique_ptr<EventSink> sink = MakeSink(output, csv, error);
    if (!sink) return DataError(kName, error);
    Export(*sink, output, watch);
    if (followRefused) return kExitUsage;
    // No file could be read (each missing or refused): nothing is left behind.
    if (filesOpened == 0) return kExitDataError;
    if (interrupted) return ReportInterrupted(kName);
    if (!sink->Finish(events, error) || !output.Commit(error)) return DataError(kName, error);
    ShowSummary();
    return allRead ? kExitOk : kExitDataError;
  }

  // HDF5 writes the file itself, by name: the temporary one, or a device as it is.
  std::unique_ptr<EventSink> MakeSink(OutputFile& output, bool csv, std::string& error) const
  {
    if (csv) return std::make_unique<CsvEventSink>(output.Stream());
    const char* path = output.TemporaryPath() != nullptr ? output.TemporaryPath() : out.c_str();
    auto sink = std::make_unique<Hdf5EventSink>(path, files, skip, compress);
    if (!sink->Open(error)) return nullptr;
    return sink;
  }

  // Every event of every file through one reader, so that the items after a file's last
  // event-start token come out with the next file's first event. Ctrl-C or a failed write ends
  // it after the event in hand; the failure is told when the output is committed.
  void Export(EventSink& sink, OutputFile& output, const InterruptWatch& watch)
  {
    // When standard output carries the data, the reader's lines there go to standard error.
    const StreamRedirect aside(std::cout, out == kStandardOutput ? std::cerr.rdbuf() : nullptr);
    ProgressLine progress(kName, ProgressUnit::kBytes, ReaderProgress(reader, files), out == kStandardOutput,
                          ProgressLine::kEventsPerLook);
    const Clock::time_point start = Clock::now();
    uint64_t number = 0;
    bool going = true;
    for (auto file = files.begin(); file != files.end() && going; ++file) {
      if (firstBlock.Open(reader, *file, watch.Flag()) == FirstBlockCheck::kRefused || !reader.IsOpen()) {
        allRead = false;
        continue;
      }
      ++filesOpened;
      if ((followRefused = !follow.Accepts(reader, *file))) break;
      do {
        TTudaEvent* event = nullptr;
        // Standard output carries only the reader's lines unless it is the output itself: losing
        // them is told at the end, and the file named is still written whole.
        while ((going = !watch.Interrupted() && output.Good() && (limit == 0 || events < limit)) &&
               (event = reader.GetNextEvent())) {
          if (number >= skip) Write(sink, *event, number);
          ++number;
          event->Clear(nullptr);
          progress.Tick();
        }
      } while (going && follow.ReadsAgain(reader, *file, firstBlock, watch.Flag()));
      allRead = allRead && !reader.Source().Damaged();
    }
    progress.Clear();
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    interrupted = watch.Interrupted();
  }

  void Write(EventSink& sink, const TTudaEvent& event, uint64_t number)
  {
    sink.Write(event, number);
    items += ItemsOf(event);
    ++events;
  }

  void ShowSummary() const
  {
    const double megabytes = static_cast<double>(reader.BlocksRead()) * TEGBlockSize / kBytesPerMegabyte;
    char line[256];
    std::snprintf(line, sizeof line, "tuda export: %llu events, %llu items, %.3f MB read, %.3f s, %.1f MB/s",
                  static_cast<unsigned long long>(events), static_cast<unsigned long long>(items), megabytes,
                  seconds, seconds > 0.0 ? megabytes / seconds : 0.0);
    std::cerr << line << std::endl;
  }

  std::vector<std::string> files;
  std::string out;
  std::string format;
  uint64_t skip = 0;
  uint64_t limit = 0;  // 0: every event
  bool compress = false;
  bool overwrite = false;

  AccountLine account{kName};
  ZstdWindowOption window;
  FollowOptions follow{kName};
  TTudaData reader;
  uint64_t events = 0;
  uint64_t items = 0;
  double seconds = 0.0;
  bool allRead = true;
  uint64_t filesOpened = 0;  // neither missing nor refused
  bool interrupted = false;
  bool followRefused = false;  // --follow on a compressed file
  FirstBlockCheck firstBlock{kName};
};

}  // namespace

const CommandEntry kExportCommand{kName, kExportProgram.summary, MakeCommand<ExportCommand>};
