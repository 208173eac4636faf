#include "tools/stat/StatJson.h"

#include "tools/histogram/KindNames.h"

namespace {

// Indexed by GroupKind, as the exports name the kinds.
const char* const kKindKeys[kItemKinds] = {kAdcKindName, kTdcKindName, kEpicsKindName, kScalerKindName};

nlohmann::ordered_json KindObject(const ItemCounts& items)
{
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (size_t kind = 0; kind < kItemKinds; ++kind) object[kKindKeys[kind]] = items[kind];
  return object;
}

}  // namespace

ItemCounts DecodedItems(const FileTally& tally)
{
  ItemCounts items{};
  for (size_t kind = 0; kind < kItemKinds; ++kind) items[kind] = tally.Items(static_cast<GroupKind>(kind));
  return items;
}

nlohmann::ordered_json FileObject(const FileResult& file)
{
  const FileTally& tally = file.tally;
  nlohmann::ordered_json object;
  object["file"] = file.name;
  object["read_to_end"] = tally.readToEnd;
  object["blocks"] = tally.blocks;
  object["swapped_blocks"] = tally.swappedBlocks;
  object["events"] = tally.events;
  object["items"] = KindObject(DecodedItems(tally));
  nlohmann::ordered_json groups = nlohmann::ordered_json::object();
  for (unsigned group = 0; group < kGroupNumbers; ++group) {
    if (tally.itemsPerGroup[group] > 0) groups[std::to_string(group)] = tally.itemsPerGroup[group];
  }
  object["items_per_group"] = groups;
  object["items_delivered"] = KindObject(file.delivered);
  object["items_held_at_end"] = KindObject(file.held);
  object["held_items_carried_into"] =
      file.heldGoesTo.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(file.heldGoesTo);
  nlohmann::ordered_json bytes = nlohmann::ordered_json::object();
  for (const LedgerEntry& entry : ByteLedger(tally)) bytes[entry.key] = entry.bytes;
  object["bytes"] = bytes;
  object["compressed_padding"] = tally.compressedPadding;
  return object;
}
