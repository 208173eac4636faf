#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "tools/stat/StatTally.h"

// One file of `tuda stat` as a JSON object: the line `tuda stat --json` writes for it.

// One named file as the summary sees it: its tally and, in the order the files were named, the
// items delivered from it and held at its end by one reader reading every file in turn.
struct FileResult {
  std::string name;
  FileTally tally;
  ItemCounts delivered{};
  ItemCounts held{};
  std::string heldGoesTo;  // the next file opened, or empty: never delivered
};

// The simple items of each kind the file's blocks held, decoded or not.
ItemCounts DecodedItems(const FileTally& tally);

// The object of one file: figures, items per kind and group, items delivered and held, bytes.
nlohmann::ordered_json FileObject(const FileResult& file);
