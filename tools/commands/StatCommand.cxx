#include "tools/commands/Commands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <thread>

#include "tools/cli/CommandLine.h"
#include "tools/cli/OptionChecks.h"
#include "tools/cli/ZstdWindowOption.h"
#include "tools/console/ExitStatus.h"
#include "tools/console/Interrupt.h"
#include "tools/console/OutputCheck.h"
#include "tools/console/Text.h"
#include "tools/histogram/KindNames.h"
#include "tools/input/FileJobs.h"
#include "tools/input/FirstBlockCheck.h"
#include "tools/input/ReaderProgress.h"
#include "tools/stat/StatJson.h"
#include "tools/stat/StatTally.h"

namespace {

constexpr const char* kName = "stat";
// Indexed by GroupKind; groups outside the sets make no item of their own.
const char* const kKindNames[kGroupKinds] = {"ADC", "TDC", "EPICS", "scaler", "none", "none"};
constexpr size_t kGroupDigits = 3;
constexpr size_t kKindColumn = 8;
constexpr size_t kLabelColumn = 22;

struct Summary {
  std::vector<FileResult> files;  // every file named and handed on, opened or not
  FileTally total;
  ItemCounts delivered{};
};

// A job's result: what the file showed and the lines its reader wrote.
struct Job {
  FileTally tally;
  std::unique_ptr<GatheredLines> lines;
};

size_t IndexOf(GroupKind kind) { return static_cast<size_t>(kind); }

const char* KindName(GroupKind kind) { return kKindNames[IndexOf(kind)]; }

// One reader reading the files in turn holds the items after a file's last event-start token
// and delivers them with the first event of the next file that has one.
void CarryHeldItems(Summary& summary)
{
  ItemCounts carried{};
  FileResult* holder = nullptr;
  for (FileResult& file : summary.files) {
    if (!file.tally.opened) continue;
    file.delivered = file.tally.delivered;
    if (file.tally.events > 0) {
      AddItems(file.delivered, carried);
      carried = ItemCounts{};
    }
    AddItems(carried, file.tally.held);
    file.held = carried;
    if (holder != nullptr) holder->heldGoesTo = file.name;
    holder = &file;
    AddItems(summary.delivered, file.delivered);
  }
}

bool AnyOpened(const Summary& summary)
{
  return std::any_of(summary.files.begin(), summary.files.end(),
                     [](const FileResult& file) { return file.tally.opened; });
}

// ---- Text --------------------------------------------------------------------------------------

std::ostream& Row(const char* label) { return std::cout << Padded(label, kLabelColumn); }

std::string KindCounts(const ItemCounts& items)
{
  std::string text;
  for (size_t kind = 0; kind < kItemKinds; ++kind) {
    text += std::string(kind ? ", " : "") + kKindNames[kind] + ' ' + std::to_string(items[kind]);
  }
  return text;
}

void PrintItems(const Summary& summary)
{
  const FileTally& tally = summary.total;
  Row("Items") << KindCounts(DecodedItems(tally)) << '\n';
  std::cout << "Items per group\n";
  for (unsigned group = 0; group < kGroupNumbers; ++group) {
    if (tally.itemsPerGroup[group] == 0) continue;
    const std::string number = std::to_string(group);
    std::cout << "  group " << std::string(kGroupDigits - number.size(), ' ') << number << "  "
              << Padded(KindName(KindOfGroup(group)), kKindColumn) << tally.itemsPerGroup[group] << '\n';
  }
}

// Items decoded = items delivered + the items held at the end of the last file.
void PrintDelivered(const Summary& summary)
{
  Row("Items delivered") << KindCounts(summary.delivered) << '\n';
  for (const FileResult& file : summary.files) {
    if (!file.tally.opened) continue;
    Row("Held at the end") << file.name << ": " << KindCounts(file.held) << "; "
                           << (file.heldGoesTo.empty() ? "never delivered" : "carried into " + file.heldGoesTo)
                           << '\n';
  }
}

void PrintNeverDecoded(const Summary& summary)
{
  const FileTally& tally = summary.total;
  const auto ended = [&tally](TTudaBlockEnd end) { return tally.blocksEnded[static_cast<size_t>(end)]; };
  Row("Blocks ended") << "at the marker " << ended(TTudaBlockEnd::kMarker) << ", at the data length "
                      << ended(TTudaBlockEnd::kDataLength) << ", at the block end " << ended(TTudaBlockEnd::kBlockEnd)
                      << '\n';
  Row("Never decoded") << tally.wordsBeforeMarker << " words between data length and marker in "
                       << tally.blocksWithWordsBeforeMarker << " blocks; " << tally.blocksWithoutMarkerAfterLength
                       << " blocks without a marker after the data length\n";
  for (const FileResult& file : summary.files) {
    if (file.tally.readToEnd) Row("Trailing piece") << file.name << ": " << file.tally.account.trailingBytes << " bytes\n";
  }
}

// Only for the files that have any, outside the ledger: the ledger divides the data, and the
// padding lies after them in the compressed file.
void PrintCompressedPadding(const Summary& summary)
{
  for (const FileResult& file : summary.files) {
    if (file.tally.compressedPadding == 0) continue;
    Row("Compressed padding") << file.name << ": " << file.tally.compressedPadding
                              << " zero bytes after the compressed data\n";
  }
}

// The ledger in two rows: what was decoded or is framing, then each cause of undecoded words.
void PrintLedger(const FileTally& tally)
{
  std::string accounted;
  std::string undecoded;
  for (const LedgerEntry& entry : ByteLedger(tally)) {
    std::string& row = entry.undecoded ? undecoded : accounted;
    row += std::string(row.empty() ? "" : ", ") + entry.label + ' ' + std::to_string(entry.bytes);
  }
  Row("Bytes") << accounted << '\n';
  Row("Bytes not decoded") << undecoded << '\n';
}

void PrintSummary(const Summary& summary, double seconds)
{
  const FileTally& tally = summary.total;
  Row("Blocks") << tally.blocks << ", " << tally.swappedBlocks << " swapped\n";
  Row("Events") << tally.events << '\n';
  PrintItems(summary);
  Row("Decoding errors") << "unknown group " << tally.Items(GroupKind::kUnknown) << ", group item "
                         << tally.groupItems << ", extended group item " << tally.extendedGroupItems
                         << ", token past block end " << tally.blocksEnded[static_cast<size_t>(TTudaBlockEnd::kTokenPastBlockEnd)]
                         << '\n';
  Row("Skipped silently") << tally.Items(GroupKind::kBeyondSets) << " items of groups above " << kLastGroupInSets
                          << '\n';
  PrintNeverDecoded(summary);
  PrintDelivered(summary);
  PrintLedger(tally);
  PrintCompressedPadding(summary);

  const double megabytes = static_cast<double>(tally.BytesRead()) / kBytesPerMegabyte;
  const double rate = seconds > 0 ? megabytes / seconds : 0.0;
  Row("Read") << Fixed(megabytes, 1) << " MB in " << Fixed(seconds, 3) << " s, " << Fixed(rate, 1) << " MB/s"
              << std::endl;
}

// ---- JSON --------------------------------------------------------------------------------------

void PrintJson(const Summary& summary)
{
  for (const FileResult& file : summary.files) {
    std::cout << FileObject(file).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  }
  std::cout.flush();
}

// ---- The command -------------------------------------------------------------------------------

class StatCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Summarises data files: blocks and swapped blocks, events, items per kind and\n"
        "per group, the items delivered in events and those held at the end of each\n"
        "file (carried into the next file named, or never delivered after the last),\n"
        "decoding errors by kind, what was never decoded (the short trailing piece of\n"
        "each file; the words of a block between the point where its data length ended\n"
        "decoding and its end-of-block marker), every byte read in one category, and the\n"
        "read rate. No summary is written when no file opens. Files are read on several\n"
        "threads, each with a reader of its own; the output is the same as with one.");
    app.add_option("FILE", files, "data files, - for standard input")->required()->check(NotEmpty());
    AddJobsOption(app, jobs);
    app.add_flag("--json", json,
                 "one JSON object per file named and line on standard output, with the member bytes: "
                 "one count per category, adding up to the bytes read, and read_to_end, false for a "
                 "file not opened, refused, damaged or cut short by Ctrl-C; the reader's lines go to "
                 "standard error")
        ->disable_flag_override();
    account.Declare(app);
    window.Declare(app);
    follow.Declare(app);
    app.footer(
        "Exit status: 0 when every file was read to its end and all output written, 1 when a\n"
        "file did not open or standard output could not be written, 2 on a usage error\n"
        "(--follow on a compressed file included), 130 after Ctrl-C (the summary so far is\n"
        "written).");
    firstBlock.Declare(app, FirstBlockCheck::kStepsOverTheFile);
  }

  int Run() override
  {
    const InterruptWatch watch;
    std::atomic<uint64_t> bytesRead{0};
    ProgressLine progress(kName, ProgressUnit::kBytes, SharedReaderProgress(bytesRead, files), false, 1);
    Summary summary;
    bool allRead = true;
    bool followRefused = false;
    FileJobHooks hooks;
    hooks.keepGoing = [&watch] { return KeepGoing(watch); };
    // The files delivered so far come out while the next is read (or followed).
    hooks.waiting = [&progress] {
      WriteOutStandardOutput();
      progress.Tick();
    };
    hooks.interrupted = [&watch] { return watch.Interrupted(); };
    const auto start = std::chrono::steady_clock::now();
    RunFileJobs<Job>(
        files.size(), static_cast<unsigned>(jobs),
        [&](size_t index) {
          Job job{FileTally(), std::make_unique<GatheredLines>()};
          job.tally = TallyFile(files[index], *job.lines, watch.Flag(), bytesRead, firstBlock, window, follow);
          return job;
        },
        [&](size_t index, Job& job) {
          job.lines->WriteTo(json ? std::cerr : std::cout, std::cerr);
          allRead = allRead && job.tally.readToEnd;
          followRefused = followRefused || job.tally.followRefused;
          summary.files.push_back(FileResult{files[index], job.tally, {}, {}, {}});
        },
        hooks);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    progress.Clear();
    Summarise(summary);
    if (json) {
      PrintJson(summary);
    } else if (AnyOpened(summary)) {
      PrintSummary(summary, elapsed.count());
    }
    const int status = followRefused ? kExitUsage : EndStatus(watch, kName, allRead);
    account.Write(summary.total.account, "");
    return status;
  }

 private:
  static void Summarise(Summary& summary)
  {
    for (const FileResult& file : summary.files) summary.total.Add(file.tally);
    CarryHeldItems(summary);
  }

  std::vector<std::string> files;
  uint64_t jobs = Cores();
  bool json = false;
  AccountLine account{kName};
  ZstdWindowOption window;
  FollowOptions follow{kName};
  FirstBlockCheck firstBlock{kName};
};

}  // namespace

const CommandEntry kStatCommand{kName, "Summarise data files at a glance", MakeCommand<StatCommand>};
