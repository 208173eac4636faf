#include "tools/StatCommand.h"

#include <array>
#include <chrono>
#include <iostream>

#include "reader/TTudaData.h"
#include "tools/CommandLine.h"
#include "tools/ExitStatus.h"
#include "tools/Interrupt.h"
#include "tools/OptionChecks.h"
#include "tools/ReaderProgress.h"
#include "tools/Text.h"
#include "writer/MidasFileWriter.h"

namespace {

constexpr const char* kName = "stat";
constexpr size_t kGroupKinds = static_cast<size_t>(GroupKind::kUnknown) + 1;
// Indexed by GroupKind; groups outside the sets make no item of their own.
const char* const kKindNames[kGroupKinds] = {"ADC", "TDC", "EPICS", "scaler", "none", "none"};
constexpr size_t kGroupNumbers = kGroupMask + 1;
constexpr size_t kGroupDigits = 3;
constexpr size_t kKindColumn = 8;

struct Tally {
  uint64_t blocks = 0;
  uint64_t swappedBlocks = 0;
  uint64_t events = 0;
  // Simple items, recognised or not; those of groups above the sets the decoder steps over
  // without a word.
  std::array<uint64_t, kGroupKinds> itemsPerKind{};
  std::array<uint64_t, kGroupNumbers> itemsPerGroup{};
  uint64_t groupItems = 0;
  uint64_t extendedGroupItems = 0;
  uint64_t tokensPastBlockEnd = 0;
  uint64_t endedByMarker = 0;
  uint64_t endedByLength = 0;
  uint64_t endedAtBlockEnd = 0;
  uint64_t wordsAfterLength = 0;  // between where the data length ended decoding and the marker
  uint64_t blocksWithWordsAfterLength = 0;
  uint64_t blocksWithoutMarker = 0;
  std::vector<std::pair<std::string, uint64_t>> trailingBytes;
};

size_t IndexOf(GroupKind kind) { return static_cast<size_t>(kind); }

const char* KindName(GroupKind kind) { return kKindNames[IndexOf(kind)]; }

uint64_t Items(const Tally& tally, GroupKind kind) { return tally.itemsPerKind[IndexOf(kind)]; }

void CountSimpleItem(unsigned group, Tally& tally)
{
  ++tally.itemsPerGroup[group];
  ++tally.itemsPerKind[IndexOf(KindOfGroup(group))];
}

void CountToken(uint16_t word, Tally& tally)
{
  switch (word >> kTokenKindShift) {
    case kSimpleItemKind:
      CountSimpleItem(word & kGroupMask, tally);
      break;
    case kGroupItemKind:
      ++tally.groupItems;
      break;
    case kExtendedGroupItemKind:
      ++tally.extendedGroupItems;
      break;
    default:
      ++tally.events;
  }
}

// The tokens the data length kept from the decoder, up to the marker.
void CountUndecoded(const uint16_t* from, const uint16_t* end, Tally& tally)
{
  const uint16_t* word = from;
  while (word < end && !AtEndOfBlockMarker(word, end)) word += DecodedTokenWords(*word);
  if (word >= end) {
    ++tally.blocksWithoutMarker;
  } else if (word > from) {
    tally.wordsAfterLength += static_cast<uint64_t>(word - from);
    ++tally.blocksWithWordsAfterLength;
  }
}

// Steps through the loaded block's tokens as the decoder does, counting them.
void CountBlock(const TTudaData& reader, Tally& tally)
{
  const uint16_t* const begin = reader.fBuffer;
  const uint16_t* const end = begin + kBlockWords;
  const uint64_t lengthEnd = reader.fHeader.fDataLength / kBytesPerWord;
  const uint16_t* word = reader.fCursor;
  for (;;) {
    const unsigned words = DecodedTokenWords(*word);
    if (words > end - word) {
      ++tally.tokensPastBlockEnd;
      return;
    }
    CountToken(*word, tally);
    word += words;
    if (AtEndOfBlockMarker(word, end)) {
      ++tally.endedByMarker;
      return;
    }
    if (static_cast<uint64_t>(word - begin) >= lengthEnd) {
      ++tally.endedByLength;
      CountUndecoded(word, end, tally);
      return;
    }
    if (word == end) {
      ++tally.endedAtBlockEnd;
      return;
    }
  }
}

// Counts the file's blocks until its end or until the watch says stop.
void CountFile(TTudaData& reader, const std::string& file, Tally& tally, ProgressLine& progress,
               const InterruptWatch& watch)
{
  while (KeepGoing(watch) && reader.GetDataBlock()) {
    if (reader.fBuffer[kDataOrderWord] == kSwappedDataOrder) ++tally.swappedBlocks;
    reader.DecodeHeader();
    CountBlock(reader, tally);
    ++tally.blocks;
    progress.Tick();
  }
  // The failed read of the short trailing piece leaves its size in the stream's count.
  if (KeepGoing(watch)) tally.trailingBytes.emplace_back(file, static_cast<uint64_t>(reader.fFile.gcount()));
}

constexpr size_t kLabelColumn = 22;

std::ostream& Row(const char* label) { return std::cout << Padded(label, kLabelColumn); }

// The kind's name and its number of items.
std::string ItemCount(const Tally& tally, GroupKind kind)
{
  return std::string(KindName(kind)) + ' ' + std::to_string(Items(tally, kind));
}

void PrintItems(const Tally& tally)
{
  Row("Items") << ItemCount(tally, GroupKind::kAdc) << ", " << ItemCount(tally, GroupKind::kTdc) << ", "
               << ItemCount(tally, GroupKind::kEpics) << ", " << ItemCount(tally, GroupKind::kScaler) << '\n';
  std::cout << "Items per group\n";
  for (unsigned group = 0; group < kGroupNumbers; ++group) {
    if (tally.itemsPerGroup[group] == 0) continue;
    const std::string number = std::to_string(group);
    std::cout << "  group " << std::string(kGroupDigits - number.size(), ' ') << number << "  "
              << Padded(KindName(KindOfGroup(group)), kKindColumn) << tally.itemsPerGroup[group] << '\n';
  }
}

void PrintNeverDecoded(const Tally& tally)
{
  Row("Blocks ended") << "at the marker " << tally.endedByMarker << ", at the data length " << tally.endedByLength
                      << ", at the block end " << tally.endedAtBlockEnd << '\n';
  Row("Never decoded") << tally.wordsAfterLength << " words between data length and marker in "
                       << tally.blocksWithWordsAfterLength << " blocks; " << tally.blocksWithoutMarker
                       << " blocks without a marker after the data length\n";
  for (const auto& [file, bytes] : tally.trailingBytes) {
    Row("Trailing piece") << file << ": " << bytes << " bytes\n";
  }
}

void PrintTally(const Tally& tally, double seconds)
{
  Row("Blocks") << tally.blocks << ", " << tally.swappedBlocks << " swapped\n";
  Row("Events") << tally.events << '\n';
  PrintItems(tally);
  Row("Decoding errors") << "unknown group " << Items(tally, GroupKind::kUnknown) << ", group item "
                         << tally.groupItems << ", extended group item " << tally.extendedGroupItems
                         << ", token past block end " << tally.tokensPastBlockEnd << '\n';
  Row("Skipped silently") << Items(tally, GroupKind::kBeyondSets) << " items of groups above "
                          << kLastGroupInSets << '\n';
  PrintNeverDecoded(tally);

  uint64_t bytes = tally.blocks * TEGBlockSize;
  for (const auto& piece : tally.trailingBytes) bytes += piece.second;
  const double megabytes = static_cast<double>(bytes) / kBytesPerMegabyte;
  const double rate = seconds > 0 ? megabytes / seconds : 0.0;
  Row("Read") << Fixed(megabytes, 1) << " MB in " << Fixed(seconds, 3) << " s, " << Fixed(rate, 1) << " MB/s"
              << std::endl;
}

class StatCommand : public Command {
 public:
  void Declare(CLI::App& app) override
  {
    app.description(
        "Summarises data files: blocks and swapped blocks, events, items per kind and\n"
        "per group, decoding errors by kind, what was never decoded (the short trailing\n"
        "piece of each file; the words of a block between the point where its data\n"
        "length ended decoding and its end-of-block marker), and the read rate.\n"
        "No summary is written when no file opens.");
    app.add_option("FILE", files, "data files")->required()->check(NotEmpty());
    app.footer(
        "Exit status: 0 when every file was read to its end and all output written, 1 when a\n"
        "file did not open or standard output could not be written, 2 on a usage error, 130\n"
        "after Ctrl-C (the summary so far is written).");
  }

  int Run() override
  {
    TTudaData reader;
    Tally tally;
    const InterruptWatch watch;
    ProgressLine progress(kName, ProgressUnit::kBytes, ReaderProgress(reader, files), false, 1);
    size_t opened = 0;
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < files.size() && KeepGoing(watch); ++i) {
      reader.OpenDataFile(files[i].c_str());
      if (!reader.fFile.is_open()) continue;
      ++opened;
      CountFile(reader, files[i], tally, progress, watch);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    progress.Clear();
    if (opened > 0) PrintTally(tally, elapsed.count());
    if (watch.Interrupted()) return ReportInterrupted(kName);
    return opened == files.size() ? kExitOk : kExitDataError;
  }

 private:
  std::vector<std::string> files;
};

}  // namespace

const CommandEntry kStatCommand{kName, "Summarise data files at a glance", MakeCommand<StatCommand>};
