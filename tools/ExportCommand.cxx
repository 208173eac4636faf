#include "tools/ExportCommand.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

#include "reader/TTudaData.h"
#include "tools/CsvEventSink.h"
#include "tools/Hdf5EventSink.h"
#include "tools/Interrupt.h"
#include "tools/Options.h"

namespace {

constexpr const char* kCommandName = "export";
constexpr const char* kStandardOutput = "-";
constexpr const char* kCsvExtension = ".csv";

enum class ExportFormat { kHdf5, kCsv };

struct ExportOptions {
  std::vector<std::string> files;
  std::string out;
  ExportFormat format = ExportFormat::kHdf5;
  uint64_t skip = 0;
  uint64_t events = UINT64_MAX;  // no limit
  bool compress = false;
};

bool EndsWith(const std::string& text, const std::string& end)
{
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Without --format, standard output and a name ending in .csv take CSV, anything else HDF5.
bool ChooseFormat(const std::string& format, ExportOptions& options, std::string& error)
{
  const bool toStandardOutput = options.out == kStandardOutput;
  if (format.empty()) {
    const bool csv = toStandardOutput || EndsWith(options.out, kCsvExtension);
    options.format = csv ? ExportFormat::kCsv : ExportFormat::kHdf5;
  } else {
    options.format = format == "csv" ? ExportFormat::kCsv : ExportFormat::kHdf5;
  }
  if (toStandardOutput && options.format == ExportFormat::kHdf5) {
    error = "standard output takes CSV only";
    return false;
  }
  if (options.compress && options.format == ExportFormat::kCsv) {
    error = "--compress applies to HDF5 only";
    return false;
  }
  return true;
}

bool ReadExportOptions(const std::vector<std::string>& args, ExportOptions& options, std::string& error)
{
  CLI::App app;
  app.set_help_flag();
  std::string format;
  app.add_option("files", options.files)->required();
  app.add_option("--out", options.out)->required();
  app.add_option("--format", format)->check(CLI::IsMember({"hdf5", "csv"}));
  // The check refuses the negative numbers that the conversion would wrap around.
  app.add_option("--skip", options.skip)->check(CLI::NonNegativeNumber);
  app.add_option("--events", options.events)->check(CLI::NonNegativeNumber);
  app.add_flag("--compress", options.compress);
  try {
    app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
  } catch (const CLI::ParseError& failure) {
    error = failure.what();
    return false;
  }
  return ChooseFormat(format, options, error);
}

struct ExportTally {
  uint64_t events = 0;
  uint64_t items = 0;
  bool allOpened = true;
};

uint64_t ItemsOf(const TTudaEvent& event)
{
  return event.adcItems.size() + event.tdcItems.size() + event.scalerItems.size() + event.epicsItems.size();
}

// Every event of every file through one reader, so that the items after a file's last
// event-start token come out with the next file's first event. Ctrl-C ends it after the event
// in hand.
void ExportEvents(const ExportOptions& options, TTudaData& reader, EventSink& sink, const InterruptWatch& watch,
                  ExportTally& tally)
{
  uint64_t number = 0;
  for (const std::string& file : options.files) {
    if (watch.Interrupted()) return;
    reader.OpenDataFile(file.c_str());
    tally.allOpened = reader.fFile.is_open() && tally.allOpened;
    while (tally.events < options.events && !watch.Interrupted()) {
      TTudaEvent* event = reader.GetNextEvent();
      if (event == nullptr) break;
      if (number >= options.skip) {
        sink.Write(*event, number);
        tally.items += ItemsOf(*event);
        ++tally.events;
      }
      event->Clear(nullptr);
      ++number;
    }
  }
}

void ShowSummary(const ExportTally& tally, const TTudaData& reader, double seconds)
{
  const double megabytes = static_cast<double>(reader.fBlocksRead) * TEGBlockSize / kBytesPerMegabyte;
  char line[256];
  std::snprintf(line, sizeof line, "tuda export: %llu events, %llu items, %.3f MB read, %.3f s, %.1f MB/s",
                static_cast<unsigned long long>(tally.events), static_cast<unsigned long long>(tally.items),
                megabytes, seconds, seconds > 0.0 ? megabytes / seconds : 0.0);
  std::cerr << line << std::endl;
}

std::unique_ptr<EventSink> MakeSink(const ExportOptions& options, std::FILE*& csvStream, std::string& error)
{
  if (options.format == ExportFormat::kHdf5) {
    auto sink = std::make_unique<Hdf5EventSink>(options.out, options.files, options.skip, options.compress);
    if (!sink->Open(error)) return nullptr;
    return sink;
  }
  csvStream = options.out == kStandardOutput ? stdout : std::fopen(options.out.c_str(), "w");
  if (csvStream == nullptr) {
    error = "cannot write " + options.out + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<CsvEventSink>(csvStream);
}

int RunExport(const std::vector<std::string>& args)
{
  ExportOptions options;
  std::string error;
  if (!ReadExportOptions(args, options, error)) return UsageError(kCommandName, error);
  std::FILE* csvStream = nullptr;
  std::unique_ptr<EventSink> sink = MakeSink(options, csvStream, error);
  if (!sink) return DataError(kCommandName, error);

  // When standard output carries the CSV, the reader's own lines go to standard error meanwhile.
  std::streambuf* const savedOut = std::cout.rdbuf();
  if (csvStream == stdout) std::cout.rdbuf(std::cerr.rdbuf());
  InterruptWatch watch;
  if (options.out != kStandardOutput) watch.RemoveOnSecondInterrupt(options.out.c_str());
  TTudaData reader;
  ExportTally tally;
  const auto start = std::chrono::steady_clock::now();
  ExportEvents(options, reader, *sink, watch, tally);
  bool written = sink->Finish(tally.events, error);
  if (csvStream != nullptr && csvStream != stdout) written = std::fclose(csvStream) == 0 && written;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::cout.rdbuf(savedOut);
  if (!written) return DataError(kCommandName, error.empty() ? "cannot write " + options.out : error);
  ShowSummary(tally, reader, elapsed.count());
  if (watch.Interrupted()) return kExitInterrupted;
  return tally.allOpened ? kExitOk : kExitDataError;
}

}  // namespace

const Command kExportCommand{"export", "Write every decoded item as HDF5 or CSV",
                             R"(Usage: tuda export FILE... --out OUT [--format hdf5|csv] [--skip N] [--events N]
                   [--compress]

Decodes the files in order with one reader, as tuda events does, and writes
every item of every event it returns, events numbered from 0 in that order.

HDF5: for each kind K of adc, tdc, scaler and epics, the datasets /K/channel,
/K/value (the item's type: unsigned 16-bit for adc and tdc, unsigned 32-bit
for scaler, 32-bit float for epics) and /K/offsets (one more row than events:
the items of event i are rows offsets[i] to offsets[i+1]). On the root, the
attributes files, events and first_event.
CSV: the header line event,kind,channel,value and one row per item.

  --out OUT         the file to write; - writes CSV to standard output, and
                    the reader's own lines then go to standard error
  --format F        hdf5 or csv (default: csv for - and names ending in .csv,
                    hdf5 otherwise)
  --skip N          pass over the first N events (they keep their numbers)
  --events N        stop after writing N events
  --compress        shuffle and deflate the HDF5 datasets (smaller, slower)

Ctrl-C ends the export after the event in hand; what was read so far is
written as a whole file. A second Ctrl-C ends at once and removes OUT.

Exit status: 0 when every file opened and the output was written, 1
otherwise, 2 on a usage error, 130 after Ctrl-C.
)",
                             RunExport};
