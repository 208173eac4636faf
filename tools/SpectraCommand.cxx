#include "tools/SpectraCommand.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>

#include "tools/ChannelList.h"
#include "tools/NodeSession.h"
#include "tools/Options.h"
#include "tools/SpectrumFiles.h"
#include "tools/SpectrumReceiver.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kCommandName = "spectra";
constexpr const char* kNodeName = "src";
constexpr const char* kReceiverName = "spectra";
constexpr const char* kDefaultFolder = "spectra";

struct SpectraOptions {
  std::vector<std::string> files;
  std::vector<const SpectrumKind*> kinds;
  uint32_t bins = 0;  // 0: each kind's own default
  uint32_t steps = 0;
  std::string pluginPath;
  SpectrumFileOptions output;
};

// ---- Options -----------------------------------------------------------------------------------

bool ReadSpectraOptions(const std::vector<std::string>& args, SpectraOptions& options, std::string& error)
{
  CLI::App app;
  app.set_help_flag();
  std::string kind = "all";
  std::string channels;
  std::string format = "png";
  bool linear = false;
  options.output.folder = kDefaultFolder;
  app.add_option("files", options.files)->required();
  app.add_option("--out", options.output.folder);
  app.add_option("--kind", kind)->check(CLI::IsMember({"adc", "tdc", "all"}));
  app.add_option("--channels", channels);
  app.add_option("--bins", options.bins)->check(CLI::Range(uint32_t(1), kMaxBins));
  // The check refuses the negative numbers that the conversion would wrap around.
  app.add_option("--steps", options.steps)->check(CLI::NonNegativeNumber);
  app.add_option("--format", format)->check(CLI::IsMember({"png", "svg"}));
  app.add_option("--plugin", options.pluginPath);
  app.add_flag("--linear", linear);
  try {
    app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
  } catch (const CLI::ParseError& failure) {
    error = failure.what();
    return false;
  }
  if (kind != "tdc") options.kinds.push_back(&kAdcKind);
  if (kind != "adc") options.kinds.push_back(&kTdcKind);
  options.output.format = format == "svg" ? PictureFormat::kSvg : PictureFormat::kPng;
  options.output.scale = linear ? CountScale::kLinear : CountScale::kLog;
  if (options.pluginPath.empty()) options.pluginPath = DefaultPluginPath();
  static_assert(kAdcKind.channels == kTdcKind.channels, "one channel list serves both kinds");
  return channels.empty() || ParseChannelList(channels, kAdcKind.channels, options.output.channels, error);
}

// ---- The run -----------------------------------------------------------------------------------

// What running the files through the node came to.
struct RunOutcome {
  bool interrupted = false;
  bool allOpened = true;
};

// Every file, one after another, through the same node into the receiver. False, with `error`,
// when the node could not be made.
bool RunFiles(const SpectraOptions& options, SpectrumReceiver& receiver, RunOutcome& outcome, std::string& error)
{
  NodeSession session;
  if (!session.Open(options.pluginPath, kNodeName, error)) return false;
  session.SetSteps(options.steps);
  session.Connect(receiver);
  for (const std::string& file : options.files) {
    session.SetFile(file);
    outcome.allOpened = !session.DataFile().empty() && outcome.allOpened;
    outcome.interrupted = session.Start();
    if (outcome.interrupted) break;
  }
  return true;
}

// Lines on standard error for what the histograms could not take.
void WarnOfLosses(const SpectrumReceiver& receiver, const std::vector<std::unique_ptr<KindHistogram>>& histograms)
{
  for (const std::string& property : receiver.MissingProperties()) {
    std::cerr << "tuda spectra: the node's events carry no property " << property << " of vector<short>"
              << std::endl;
  }
  for (const auto& histogram : histograms) {
    if (histogram->OutsideItems() == 0) continue;
    std::cerr << "tuda spectra: " << histogram->OutsideItems() << ' ' << histogram->Kind().label
              << " items with a channel beyond " << histogram->Kind().channels - 1 << " left out" << std::endl;
  }
}

RunFigures Figures(const SpectraOptions& options, const SpectrumReceiver& receiver,
                   const std::vector<std::unique_ptr<KindHistogram>>& histograms, double seconds)
{
  RunFigures figures;
  figures.files = options.files;
  figures.events = receiver.Events();
  for (const auto& histogram : histograms) figures.itemsPerKind.emplace_back(histogram->Kind().label, histogram->Items());
  figures.seconds = seconds;
  return figures;
}

void ShowSummary(const RunFigures& figures, const std::string& folder, double pictureSeconds)
{
  std::cerr << "tuda spectra: " << figures.events << " events";
  for (const auto& [kind, items] : figures.itemsPerKind) std::cerr << ", " << items << ' ' << kind << " items";
  char seconds[64];
  std::snprintf(seconds, sizeof seconds, ", %.3f s; pictures %.3f s", figures.seconds, pictureSeconds);
  std::cerr << seconds << "; " << folder << "/index.html" << std::endl;
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

int RunSpectra(const std::vector<std::string>& args)
{
  SpectraOptions options;
  std::string error;
  if (!ReadSpectraOptions(args, options, error)) return UsageError(kCommandName, error);

  std::vector<std::unique_ptr<KindHistogram>> histograms;
  std::vector<KindHistogram*> filled;
  for (const SpectrumKind* kind : options.kinds) {
    histograms.push_back(std::make_unique<KindHistogram>(*kind, options.bins != 0 ? options.bins : kind->defaultBins));
    filled.push_back(histograms.back().get());
  }
  SpectrumReceiver receiver(kReceiverName, filled);
  RunOutcome outcome;
  const Clock::time_point start = Clock::now();
  if (!RunFiles(options, receiver, outcome, error)) return DataError(kCommandName, error);
  const RunFigures figures = Figures(options, receiver, histograms, SecondsSince(start));
  WarnOfLosses(receiver, histograms);

  const Clock::time_point drawing = Clock::now();
  const std::vector<const KindHistogram*> written(filled.begin(), filled.end());
  if (!WriteSpectrumFiles(written, figures, options.output, error)) return DataError(kCommandName, error);
  ShowSummary(figures, options.output.folder, SecondsSince(drawing));
  if (outcome.interrupted) return kExitInterrupted;
  return outcome.allOpened ? kExitOk : kExitDataError;
}

}  // namespace

const Command kSpectraCommand{"spectra", "Draw the spectra the source node delivers",
                              R"(Usage: tuda spectra FILE... [--out DIR] [--kind adc|tdc|all] [--channels LIST]
                    [--bins N] [--steps N] [--linear] [--format png|svg]
                    [--plugin PATH]

Runs the source node plug-in on the files, one after another, as tuda run
does, with a receiver that histograms the ADC and TDC channels and values of
every event it is sent. Writes into DIR, for each kind KIND (adc, tdc):

  KIND-map.png      value against channel, counts as colour, with a colour bar
  KIND-hits.png     items per channel, and events per number of items
  KIND-CHANNEL.png  the spectrum of each channel named by --channels
  KIND.csv          channel,low,high,count: every bin that counted an item,
                    by channel then value; a value v counts where
                    low <= v < high

and index.html, which shows every picture with the run's figures.

  --out DIR         the folder, made when missing (default spectra)
  --kind K          adc, tdc or all (default all)
  --channels LIST   channels for spectrum pictures, e.g. 1,5,40-47
  --bins N          divide each kind's range into N equal bins, 1 to 4096
                    (default: ADC 4096 bins of 1 over 0 to 4096, TDC 4096
                    bins of 16 over 0 to 65536)
  --steps N         the node's steps: at most N events per file (default 0:
                    every event)
  --linear          counts on a linear scale (default logarithmic)
  --format F        png or svg pictures (default png)
  --plugin PATH     the plug-in (default: UKMidasFile.kxp beside tuda)

Values are read as unsigned 16-bit numbers. Ctrl-C ends the run after the
event in hand; the spectra so far are still written.

Exit status: 0 when every file was read and the spectra written, 1 when a
file did not open, the plug-in could not be loaded or an output file not be
written, 2 on a usage error, 130 after Ctrl-C.
)",
                              RunSpectra};
