#include "tools/stat/StatTally.h"

#include "reader/TTudaData.h"
#include "tools/input/ReaderProgress.h"

namespace {

size_t IndexOf(TTudaCause cause) { return static_cast<size_t>(cause); }

// Takes each block's account and the held event into the file's tally; the reader's drop lines
// are left out, since the tally shows the drops.
class StatReporter : public AccountingReporter {
 public:
  StatReporter(GatheredLines& lines, FileTally& tally, const TByteSource& source, std::atomic<uint64_t>& bytesRead,
               const std::function<void()>& afterBlock)
      : AccountingReporter(lines.Output(), lines.Errors(), kNoDropLines),
        tally(tally),
        bytesRead(source, bytesRead),
        afterBlock(afterBlock)
  {
  }

  bool CountsTokens() const override { return true; }
  void BlockEnded(const TTudaBlockAccount& block) override;
  void EndOfData(const TTudaEvent& held) override { tally.held = ItemsOf(held); }

 private:
  void CountWordsAfterLength(const TTudaBlockAccount& block);

  FileTally& tally;
  SharedBytesRead bytesRead;
  const std::function<void()>& afterBlock;
};

void StatReporter::BlockEnded(const TTudaBlockAccount& block)
{
  AccountingReporter::BlockEnded(block);
  ++tally.blocks;
  if (block.swapped) ++tally.swappedBlocks;
  tally.events += block.events;
  for (size_t group = 0; group < kGroupNumbers; ++group) tally.itemsPerGroup[group] += block.simpleItemsPerGroup[group];
  tally.groupItems += block.groupItems;
  tally.extendedGroupItems += block.extendedGroupItems;
  ++tally.blocksEnded[static_cast<size_t>(block.end)];
  if (block.end == TTudaBlockEnd::kDataLength) CountWordsAfterLength(block);
  tally.headerWords += block.headerWords;
  tally.decodedWords += block.decodedWords;
  tally.markerWords += block.markerWords;
  tally.fillWords += block.fillWords;
  bytesRead.Update();
  if (afterBlock) afterBlock();
}

void StatReporter::CountWordsAfterLength(const TTudaBlockAccount& block)
{
  if (!block.markerFound) {
    ++tally.blocksWithoutMarkerAfterLength;
    return;
  }
  const uint64_t words = block.droppedWords[IndexOf(TTudaCause::kAfterDataLength)] +
                         block.droppedWords[IndexOf(TTudaCause::kPaddingAfterDataLength)];
  tally.wordsBeforeMarker += words;
  if (words > 0) ++tally.blocksWithWordsBeforeMarker;
}

uint64_t Bytes(uint64_t words) { return words * kBytesPerWord; }

uint64_t DroppedBytes(const FileTally& tally, TTudaCause cause)
{
  return Bytes(tally.account.droppedWords[IndexOf(cause)]);
}

}  // namespace

ItemCounts ItemsOf(const TTudaEvent& event)
{
  return {event.adcItems.size(), event.tdcItems.size(), event.epicsItems.size(), event.scalerItems.size()};
}

void AddItems(ItemCounts& to, const ItemCounts& items)
{
  for (size_t kind = 0; kind < kItemKinds; ++kind) to[kind] += items[kind];
}

void FileTally::Add(const FileTally& other)
{
  blocks += other.blocks;
  swappedBlocks += other.swappedBlocks;
  events += other.events;
  for (size_t group = 0; group < kGroupNumbers; ++group) itemsPerGroup[group] += other.itemsPerGroup[group];
  groupItems += other.groupItems;
  extendedGroupItems += other.extendedGroupItems;
  for (size_t end = 0; end < kBlockEnds; ++end) blocksEnded[end] += other.blocksEnded[end];
  wordsBeforeMarker += other.wordsBeforeMarker;
  blocksWithWordsBeforeMarker += other.blocksWithWordsBeforeMarker;
  blocksWithoutMarkerAfterLength += other.blocksWithoutMarkerAfterLength;
  headerWords += other.headerWords;
  decodedWords += other.decodedWords;
  markerWords += other.markerWords;
  fillWords += other.fillWords;
  compressedPadding += other.compressedPadding;
  account.Add(other.account);
}

uint64_t FileTally::Items(GroupKind kind) const
{
  uint64_t items = 0;
  for (unsigned group = 0; group < kGroupNumbers; ++group) {
    if (KindOfGroup(group) == kind) items += itemsPerGroup[group];
  }
  return items;
}

FileTally TallyFile(const std::string& name, GatheredLines& lines, const std::atomic<bool>& cancel,
                    std::atomic<uint64_t>& bytesRead, const FirstBlockCheck& firstBlock,
                    const ZstdWindowOption& window, const FollowOptions& follow,
                    const std::function<void()>& afterBlock)
{
  FileTally tally;
  TTudaData reader;
  StatReporter reporter(lines, tally, reader.Source(), bytesRead, afterBlock);
  reader.SetReporter(&reporter);
  window.Install(reader);
  follow.Apply(reader, {});
  tally.opened = firstBlock.Open(reader, name, cancel) != FirstBlockCheck::kRefused && reader.IsOpen();
  tally.followRefused = tally.opened && !follow.Accepts(reader, name);
  if (!tally.opened || tally.followRefused) return tally;
  do {
    TTudaEvent* event = nullptr;
    while (!cancel.load(std::memory_order_relaxed) && (event = reader.GetNextEvent()) != nullptr) {
      AddItems(tally.delivered, ItemsOf(*event));
      event->Clear(nullptr);
    }
    tally.readToEnd = event == nullptr;
  } while (follow.ReadsAgain(reader, name, firstBlock, cancel));
  tally.damaged = reader.Source().Damaged();
  // Damaged compressed data, like a cancelled read, end the file early: its end was never reached.
  tally.readToEnd = tally.readToEnd && !tally.damaged && !reader.Source().Cancelled();
  tally.compressedPadding = reader.Source().PaddingBytes();
  tally.account = reporter.Account();
  return tally;
}

std::vector<LedgerEntry> ByteLedger(const FileTally& tally)
{
  return {
      {"block_headers", "block headers", Bytes(tally.headerWords), false},
      {"decoded_tokens", "decoded tokens", Bytes(tally.decodedWords), false},
      {"end_of_block_markers", "end-of-block markers", Bytes(tally.markerWords), false},
      {"fill_after_marker", "fill after the marker", Bytes(tally.fillWords), false},
      {"trailing_pieces", "trailing pieces", tally.account.trailingBytes, false},
      {"unknown_group", "unknown group", DroppedBytes(tally, TTudaCause::kUnknownGroup), true},
      {"group_item", "group item", DroppedBytes(tally, TTudaCause::kGroupItem), true},
      {"extended_group_item", "extended group item", DroppedBytes(tally, TTudaCause::kExtendedGroupItem), true},
      {"groups_above_64", "groups above 64", DroppedBytes(tally, TTudaCause::kBeyondSets), true},
      {"token_past_block_end", "token past block end", DroppedBytes(tally, TTudaCause::kTokenPastBlockEnd), true},
      {"after_data_length", "after the data length", DroppedBytes(tally, TTudaCause::kAfterDataLength), true},
      {"zero_padding_after_data_length", "zero padding after the data length",
       DroppedBytes(tally, TTudaCause::kPaddingAfterDataLength), true},
  };
}
