#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "reader/TCodec.h"
#include "reader/TTudaData.h"

// Whether a file holds data this reader decodes as written: the library behind `tuda check` and
// behind the cheap look at the first block that every data-reading subcommand takes. Files are
// read through the reader's byte source, so compressed files and standard input ("-") work.

// Where a block's data length points, against its end-of-block marker.
enum class LengthReach {
  kCountsHeader,    // at the marker, or just after it, counting the 32-byte header: as the reader expects
  kExcludesHeader,  // the same without the header: the reader loses the block's last 16 words
  kNeither,         // anywhere else
  kNoMarker,        // the block has no end-of-block marker after its tokens
};
static constexpr size_t kLengthReaches = static_cast<size_t>(LengthReach::kNoMarker) + 1;

// What reading a file showed.
struct FileEvidence {
  TCodec codec = TCodec::kNone;
  bool damaged = false;          // compressed data found damaged (the reader told where)
  unsigned neededWindowLog = 0;  // or ended at a zstd frame that needs a larger window: its log
  bool readToEnd = false;        // every block was looked at
  uint64_t blocks = 0;           // whole 32768-byte blocks looked at
  uint64_t blocksWithId = 0;     // of them, those that start with the data block identifier
  uint64_t idSpacing = 0;        // bytes between identifiers; 0 when fewer than two were seen
  std::array<unsigned char, kIdBytes> firstBytes{};  // how the file starts
  size_t firstCount = 0;
  std::map<uint16_t, uint64_t> blocksPerOrderWord;  // of blocks with the identifier, by their byte-order word as read
  std::array<uint64_t, kLengthReaches> blocksPerReach{};
  uint64_t blocksCutByLength = 0;  // blocks whose data length ends before a non-zero word of theirs
  uint64_t eventsAcrossBlocks = 0;  // blocks whose data begin inside an event of the block before
  uint64_t groupItems = 0;
  uint64_t extendedGroupItems = 0;
  uint64_t unknownGroupItems = 0;
  uint64_t trailingBytes = 0;  // after the last whole block, when read to the end
};

// Blocks `tuda check` looks at unless told to read every one (0).
static constexpr uint64_t kCheckedBlocks = 1000;

// Reads up to `maxBlocks` blocks of `name` (0: all), writing nothing: damage is told in the
// evidence. False, with `error`, when it cannot be opened.
bool CheckFile(const std::string& name, uint64_t maxBlocks, FileEvidence& evidence, std::string& error);
// The same through `reader`'s byte source, calling `afterBlock` after each block looked at; it
// returns false to stop reading early.
bool CheckFile(TTudaData& reader, const std::string& name, uint64_t maxBlocks, FileEvidence& evidence,
               std::string& error, const std::function<bool()>& afterBlock);

// Whether this reader would decode the file as written: no misframing, no cut data, no damage.
// Mixed byte orders, group items, extended group items, unknown groups and a trailing piece are
// reported but do not count against it.
bool LooksRight(const FileEvidence& evidence);
// One line: "looks like a data file this reader decodes as written", or what is wrong.
std::string Verdict(const FileEvidence& evidence);
// The evidence, one finding a line.
std::vector<std::string> EvidenceLines(const FileEvidence& evidence);

// ---- The first block ---------------------------------------------------------------------------

struct BlockStart {
  enum Kind { kDataBlock, kNoDataBlock, kShorterThanABlock };
  Kind kind = kShorterThanABlock;
  std::array<unsigned char, kIdBytes> firstBytes{};
  size_t firstCount = 0;
};

// Whether `count` bytes, the start of a file, begin with a data block. A file shorter than one
// block holds nothing to misread.
BlockStart CheckBlockStart(const unsigned char* bytes, size_t count);
// The same for the first block of the file `name`; false, with `error`, when it cannot be opened.
bool CheckFileStart(const std::string& name, BlockStart& start, std::string& error);
// "FILE does not start with a data block (identifier 75 73 74 61 72 ...)"
std::string NoDataBlockText(const std::string& name, const BlockStart& start);
