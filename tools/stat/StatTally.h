#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "reader/TTudaEvent.h"
#include "reader/TTudaReporter.h"
#include "reader/TudaFormat.h"
#include "tools/cli/FollowOptions.h"
#include "tools/cli/ZstdWindowOption.h"
#include "tools/input/FirstBlockCheck.h"
#include "tools/input/GatheredLines.h"
#include "tools/input/ReaderAccount.h"

// The figures of `tuda stat` for one file, all taken from the reader: its reporter's block
// accounts (with the tokens counted by the decoder's own stepping rule), the trailing piece, the
// events GetNextEvent returns and the event held at the end.

// Items of the four kinds that make items, indexed by GroupKind (ADC, TDC, EPICS, scaler).
static constexpr size_t kItemKinds = 4;
using ItemCounts = std::array<uint64_t, kItemKinds>;

ItemCounts ItemsOf(const TTudaEvent& event);
void AddItems(ItemCounts& to, const ItemCounts& items);

static constexpr size_t kBlockEnds = static_cast<size_t>(TTudaBlockEnd::kTokenPastBlockEnd) + 1;

struct FileTally {
  bool opened = false;
  bool readToEnd = false;
  bool damaged = false;
  bool followRefused = false;  // --follow on a compressed file: not read
  uint64_t blocks = 0;
  uint64_t swappedBlocks = 0;
  uint64_t events = 0;
  std::array<uint64_t, kGroupNumbers> itemsPerGroup{};  // simple items met, decoded or dropped
  uint64_t groupItems = 0;
  uint64_t extendedGroupItems = 0;
  std::array<uint64_t, kBlockEnds> blocksEnded{};  // indexed by TTudaBlockEnd
  // The words between where the data length ended decoding and a marker after it, zero or not,
  // and the blocks with any; the blocks whose data length was followed by no marker.
  uint64_t wordsBeforeMarker = 0;
  uint64_t blocksWithWordsBeforeMarker = 0;
  uint64_t blocksWithoutMarkerAfterLength = 0;
  uint64_t headerWords = 0;
  uint64_t decodedWords = 0;
  uint64_t markerWords = 0;
  uint64_t fillWords = 0;
  ReaderAccount account;        // words dropped by cause, trailing piece
  ItemCounts delivered{};       // in the events GetNextEvent returned
  ItemCounts held{};            // in the event held when the data ended
  // Zero bytes after the last member of a compressed file: padding in the file, outside the
  // data that the byte ledger divides.
  uint64_t compressedPadding = 0;

  // Adds another file's figures; `readToEnd`, `damaged` and the items delivered and held, which
  // the summary carries from file to file itself, are left alone.
  void Add(const FileTally& other);
  // Simple items of groups of `kind`.
  uint64_t Items(GroupKind kind) const;
  // Every byte read, which the byte ledger divides.
  uint64_t BytesRead() const { return blocks * TEGBlockSize + account.trailingBytes; }
};

// Reads the file `name` to its end with a reader of its own, whose lines go to `lines`; stops
// early once `cancel` is raised (by Ctrl-C): the reader's data then end as at the end of the file.
// `bytesRead` grows by each block as it is used up, for a progress line drawn on another thread.
// A file whose first block `firstBlock` refuses counts as not opened; `readToEnd` is true only
// when the reader met the file's normal end; `window` allows zstd frames their window.
// `follow` reads the file on as it grows. `afterBlock`, when given, is called on the reading thread after each block (a caller that
// raises `cancel` itself looks for its interrupt there).
FileTally TallyFile(const std::string& name, GatheredLines& lines, const std::atomic<bool>& cancel,
                    std::atomic<uint64_t>& bytesRead, const FirstBlockCheck& firstBlock,
                    const ZstdWindowOption& window, const FollowOptions& follow,
                    const std::function<void()>& afterBlock = nullptr);

// One category of the byte ledger: its key in JSON, its label, its bytes, and whether its bytes
// were decoded or otherwise accounted (header, marker, fill) rather than left undecoded.
struct LedgerEntry {
  const char* key;
  const char* label;
  uint64_t bytes;
  bool undecoded;
};

// Every byte read, in exactly one category: they add up to BytesRead().
std::vector<LedgerEntry> ByteLedger(const FileTally& tally);
