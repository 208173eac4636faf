#include "tools/spectra/SpectraCommand.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>

#include "tools/cli/CommandLine.h"
#include "tools/cli/OptionChecks.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/Interrupt.h"
#include "tools/console/Messages.h"
#include "tools/console/OutputCheck.h"
#include "tools/console/Progress.h"
#include "tools/input/DataOpen.h"
#include "tools/input/FirstBlockCheck.h"
#include "tools/process/SeparatePrograms.h"
#include "tools/session/NodeSession.h"
#include "tools/session/RunWarning.h"
#include "tools/spectra/ChannelList.h"
#include "tools/spectra/SpectrumFiles.h"
#include "tools/spectra/SpectrumReceiver.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kName = kSpectraProgram.name;
constexpr const char* kNodeName = "src";
constexpr const char* kReceiverName = "spectra";
constexpr const char* kAllKinds = "all";

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class SpectraCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Runs the source node plug-in on the files, one after another through the same\n"
        "node, as tuda run does, with a receiver that histograms the ADC and TDC channels\n"
        "and values of every event it is sent. Values are read as unsigned 16-bit numbers.\n"
        "Writes into DIR, for each kind KIND (adc, tdc):\n"
        "  KIND-map.png      value against channel, counts as colour, with a colour bar\n"
        "  KIND-hits.png     items per channel, and events per number of items\n"
        "  KIND-CHANNEL.png  the spectrum of each channel named by --channels\n"
        "  KIND.csv          channel,low,high,count: every bin that counted an item, by\n"
        "                    channel then value; a value v counts where low <= v < high\n"
        "and index.html, which shows every picture with the run's figures. The pictures and\n"
        "tables an earlier run wrote into DIR (of either kind, any channel, either format)\n"
        "are removed first, so that DIR shows this run alone; other files are left alone.");
    app.add_option("FILE", files, "data files, - for standard input")->required()->check(NotEmpty());
    app.add_option("--out", output.folder, "the folder, made when missing (default spectra)")
        ->check(NotEmpty())
        ->type_name("DIR");
    app.add_option("--kind", kind, "adc, tdc or all (default all)")->check(CLI::IsMember({kAdcKindName, kTdcKindName, kAllKinds}))
        ->type_name("KIND");
    app.add_option("--channels", channels, "channels for spectrum pictures, e.g. 1,5,40-47")->type_name("LIST");
    AddCount(app, "--bins", bins, 1, kMaxBins,
             "divide each kind's range into N equal bins (default: ADC 4096 bins of 1 over 0 to 4096, "
             "TDC 4096 bins of 16 over 0 to 65536)");
    AddCount(app, "--steps", steps, 0, NodeSession::kMostSteps, "the node's steps: at most N events per file (default 0: all)");
    app.add_flag("--linear", linear, "counts on a linear scale (default logarithmic)")->disable_flag_override();
    app.add_option("--format", format, "png or svg pictures (default png)")->check(CLI::IsMember({"png", "svg"}))
        ->type_name("F");
    app.add_option("--plugin", pluginPath, "the plug-in (default: UKMidasFile.kxp beside tuda)")
        ->check(NotEmpty())
        ->type_name("PATH");
    app.footer(
        "A progress line (events, events per second) is shown on standard error while it is a\n"
        "terminal. Ctrl-C, SIGTERM or SIGHUP ends the run after the event in hand; the spectra\n"
        "so far are still written.\n\n"
        "Exit status: 0 when every file was read and the spectra written, 1 when a file did\n"
        "not open, the plug-in could not be loaded or an output file not be written, 2 on a\n"
        "usage error, 130 after Ctrl-C, 128 + N after signal N of SIGTERM and SIGHUP.");
    firstBlock.Declare(app, FirstBlockCheck::kEndsTheCommand);
  }

  int Run() override
  {
    std::string error;
    if (!channels.empty() && !ParseChannelList(channels, kAdcKind.channels, output.channels, error)) {
      return UsageError(kName, error);
    }
    static_assert(kAdcKind.channels == kTdcKind.channels, "one channel list serves both kinds");
    output.format = format == "svg" ? PictureFormat::kSvg : PictureFormat::kPng;
    output.scale = linear ? CountScale::kLinear : CountScale::kLog;
    std::vector<std::string> dataFiles;
    for (const std::string& file : files) dataFiles.push_back(NodeDataFile(file, ""));
    if (!firstBlock.Passes(dataFiles)) return kExitDataError;
    MakeHistograms();

    SpectrumReceiver receiver(kReceiverName, filled);
    NodeSession session;
    if (!session.Open(pluginPath, kNodeName, error)) {
      return DataError(kName, error);
    }
    // The end of a batch job or of a terminal ends the run as Ctrl-C does, and the spectra so
    // far are written; a second signal ends the program at once, without the file in hand.
    InterruptWatch watch(WatchedSignals::kCtrlCAndEnd);
    output.watch = &watch;
    const Clock::time_point start = Clock::now();
    const bool interrupted = RunFiles(session, receiver, watch);
    const RunFigures figures = Figures(receiver, SecondsSince(start));
    WarnOfLosses(receiver);

    // The picture library writes its own warnings on standard error, past std::cerr and its tie.
    WriteOutStandardOutput();
    const Clock::time_point drawing = Clock::now();
    const std::vector<const KindHistogram*> written(filled.begin(), filled.end());
    if (!WriteSpectrumFiles(written, figures, output, error)) return DataError(kName, error);
    ShowSummary(figures, SecondsSince(drawing));
    if (interrupted) return ReportInterrupted(kName);
    return allOpened ? kExitOk : kExitDataError;
  }

 private:
  void MakeHistograms()
  {
    if (kind != kTdcKindName) histograms.push_back(std::make_unique<KindHistogram>(kAdcKind, Bins(kAdcKind)));
    if (kind != kAdcKindName) histograms.push_back(std::make_unique<KindHistogram>(kTdcKind, Bins(kTdcKind)));
    for (const auto& histogram : histograms) filled.push_back(histogram.get());
  }

  uint32_t Bins(const SpectrumKind& spectrumKind) const
  {
    return bins != 0 ? static_cast<uint32_t>(bins) : spectrumKind.defaultBins;
  }

  // Every file, one after another, through the same node into the receiver. True when Ctrl-C
  // ended the run.
  bool RunFiles(NodeSession& session, SpectrumReceiver& receiver, InterruptWatch& watch)
  {
    session.SetSteps(static_cast<uint32_t>(steps));
    session.Connect(receiver);
    ProgressLine progress(
        kName, ProgressUnit::kEvents, [&receiver] { return ProgressAmount{receiver.Events(), 0}; }, false,
        ProgressLine::kEventsPerLook);
    receiver.afterEvent = [&progress] { progress.Tick(); };
    bool interrupted = false;
    for (auto file = files.begin(); file != files.end() && !interrupted; ++file) {
      session.SetFile(*file);
      if (session.DataFile().empty()) TellWhyNotOpened(kName, *file);
      allOpened = !session.DataFile().empty() && allOpened;
      WarnIfFileLooksWrong(kName, session.DataFile());
      interrupted = session.Start(watch);
    }
    receiver.afterEvent = nullptr;
    progress.Clear();
    return interrupted;
  }

  RunFigures Figures(const SpectrumReceiver& receiver, double seconds) const
  {
    RunFigures figures;
    figures.files = files;
    figures.events = receiver.Events();
    for (const auto& histogram : histograms) {
      figures.itemsPerKind.emplace_back(histogram->Kind().label, histogram->Items());
    }
    figures.seconds = seconds;
    return figures;
  }

  // Lines on standard error for what the histograms could not take.
  void WarnOfLosses(const SpectrumReceiver& receiver) const
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

  void ShowSummary(const RunFigures& figures, double pictureSeconds) const
  {
    std::cerr << "tuda spectra: " << figures.events << " events";
    for (const auto& [label, items] : figures.itemsPerKind) std::cerr << ", " << items << ' ' << label << " items";
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, ", %.3f s; pictures and tables %.3f s", figures.seconds, pictureSeconds);
    std::cerr << seconds << "; " << output.folder << "/index.html" << std::endl;
  }

  std::vector<std::string> files;
  std::string kind = kAllKinds;
  std::string channels;
  uint64_t bins = 0;  // 0: each kind's own default
  uint64_t steps = 0;
  bool linear = false;
  std::string format = "png";
  std::string pluginPath;
  SpectrumFileOptions output;

  std::vector<std::unique_ptr<KindHistogram>> histograms;
  std::vector<KindHistogram*> filled;
  bool allOpened = true;
  FirstBlockCheck firstBlock{kName};
};

}  // namespace

const CommandEntry kSpectraCommand{kName, kSpectraProgram.summary, MakeCommand<SpectraCommand>};
