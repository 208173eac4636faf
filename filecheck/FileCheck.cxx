#include "filecheck/FileCheck.h"

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <sstream>

namespace {

constexpr size_t kHalfBlockBytes = TEGBlockSize / 2;
constexpr uint64_t kHeaderBytes = kHeaderWords * 2;
// Bytes of the identifier shown when a file does not start with it.
constexpr size_t kShownIdBytes = 5;

// Whether the data block identifier starts at `bytes`, which must hold as many.
bool HasDataBlockId(const void* bytes)
{
  return std::memcmp(bytes, kDataBlockId, kIdBytes) == 0;
}

bool IdAt(const TTudaData& reader, size_t byte)
{
  return HasDataBlockId(reinterpret_cast<const char*>(reader.BlockWords()) + byte);
}

bool OpenSource(TTudaData& reader, const std::string& name, std::string& error)
{
  if (reader.Source().Open(reader.File(), name.c_str())) return true;
  error = reader.Source().OpenError();
  return false;
}

// Reads the next block; keeps the file's first bytes from the first read, whole or not.
bool ReadBlock(TTudaData& reader, uint64_t index, std::array<unsigned char, kIdBytes>& first, size_t& firstCount)
{
  const bool whole = reader.GetDataBlock();
  if (index == 0) {
    firstCount = std::min<size_t>(kIdBytes, reader.Source().LastCount());
    std::memcpy(first.data(), reader.BlockWords(), firstCount);
  }
  return whole;
}

// Identifiers are looked for at every half block, so that 16384-byte blocks show as well.
class SpacingTracker {
 public:
  void Look(const TTudaData& reader, uint64_t block)
  {
    for (size_t half = 0; half < 2; ++half) {
      if (!IdAt(reader, half * kHalfBlockBytes)) continue;
      const uint64_t position = 2 * block + half;
      if (seen && (gap == 0 || position - last < gap)) gap = position - last;
      last = position;
      seen = true;
    }
  }
  uint64_t Spacing() const { return gap * kHalfBlockBytes; }

 private:
  bool seen = false;
  uint64_t last = 0;
  uint64_t gap = 0;
};

LengthReach ReachOf(uint64_t lengthWords, uint64_t markerWord)
{
  for (const uint64_t end : {markerWord, markerWord + kEndOfBlockWords}) {
    if (lengthWords == end) return LengthReach::kCountsHeader;
    if (lengthWords + kHeaderWords == end) return LengthReach::kExcludesHeader;
  }
  return LengthReach::kNeither;
}

// Steps through the decoded block's tokens as the decoder does, but past its data length, to the
// marker or the last whole token; counts them as the block accounts do and notes where the data
// length would have stopped the decoder.
void WalkTokens(const TTudaData& reader, bool continuesEvent, FileEvidence& evidence)
{
  const uint16_t* const begin = reader.BlockWords();
  const uint16_t* const end = begin + kBlockWords;
  const uint16_t* const first = begin + reader.CursorWord();
  const uint64_t lengthWords = reader.DataLengthWords();
  if (continuesEvent && !AtEndOfBlockMarker(first, end) && TokenKindOf(*first) != TokenKind::kEventStart) {
    ++evidence.eventsAcrossBlocks;
  }
  TTudaBlockAccount tokens;
  const uint16_t* decoderStop = nullptr;
  const uint16_t* const word = StepToMarker(first, end, [&](uint16_t token, const uint16_t* next) {
    tokens.Count(token);
    if (!decoderStop && static_cast<uint64_t>(next - begin) >= lengthWords) decoderStop = next;
  });
  evidence.groupItems += tokens.groupItems;
  evidence.extendedGroupItems += tokens.extendedGroupItems;
  evidence.unknownGroupItems += tokens.SimpleItems(GroupKind::kUnknown);
  const bool marker = AtEndOfBlockMarker(word, end);
  const LengthReach reach = marker ? ReachOf(lengthWords, word - begin) : LengthReach::kNoMarker;
  ++evidence.blocksPerReach[static_cast<size_t>(reach)];
  // Zero words after the data length are fill that writers leave: nothing of the data is cut.
  if (decoderStop && std::any_of(decoderStop, word, [](uint16_t w) { return w != 0; })) ++evidence.blocksCutByLength;
}

void LookAtBlock(TTudaData& reader, SpacingTracker& spacing, FileEvidence& evidence)
{
  spacing.Look(reader, evidence.blocks);
  if (!IdAt(reader, 0)) return;
  ++evidence.blocksWithId;
  ++evidence.blocksPerOrderWord[reader.BlockWords()[kDataOrderWord]];
  reader.DecodeHeader();
  WalkTokens(reader, evidence.blocks > 0, evidence);
}

std::string Hex(unsigned value, int digits)
{
  std::ostringstream text;
  text << std::hex << std::setfill('0') << std::setw(digits) << value;
  return text.str();
}

// The first bytes in hex, "..." after the shown ones when there are more.
std::string HexBytes(const unsigned char* bytes, size_t count, size_t shown)
{
  std::string text;
  for (size_t i = 0; i < std::min(count, shown); ++i) text += (i ? " " : "") + Hex(bytes[i], 2);
  if (count > shown) text += " ...";
  return text;
}

uint64_t Reach(const FileEvidence& evidence, LengthReach reach)
{
  return evidence.blocksPerReach[static_cast<size_t>(reach)];
}

bool StartsWithId(const FileEvidence& evidence)
{
  return evidence.firstCount == kIdBytes && HasDataBlockId(evidence.firstBytes.data());
}

// What is wrong, one phrase a fault; empty when nothing is.
std::vector<std::string> Faults(const FileEvidence& evidence)
{
  std::vector<std::string> faults;
  if (evidence.neededWindowLog != 0) {
    faults.push_back("its zstd data need a " + ZstdWindowText(evidence.neededWindowLog) +
                     " window, more than allowed (allow it with --zstd-window-log " +
                     std::to_string(evidence.neededWindowLog) + ")");
    // Nothing read says nothing of the data behind the window.
    if (evidence.blocks == 0) return faults;
  } else if (evidence.damaged) {
    faults.push_back("its compressed data are damaged");
  }
  if (evidence.firstCount == 0) {
    faults.push_back(evidence.codec == TCodec::kNone ? "it is empty" : "it decompresses to nothing");
  } else if (evidence.blocks == 0) {
    faults.push_back("it holds no whole block of " + std::to_string(TEGBlockSize) + " bytes");
  } else if (!StartsWithId(evidence)) {
    faults.push_back("it does not start with the data block identifier " + std::string(kDataBlockId));
  }
  if (evidence.idSpacing != 0 && evidence.idSpacing != TEGBlockSize) {
    faults.push_back("its blocks are " + std::to_string(evidence.idSpacing) + " bytes long, where this reader reads " +
                     std::to_string(TEGBlockSize) + "-byte blocks, so it would misframe them");
  }
  const uint64_t excluding = Reach(evidence, LengthReach::kExcludesHeader);
  if (excluding > 0) {
    const std::string which = excluding == evidence.blocksWithId ? "every block" : "each of those blocks";
    faults.push_back("its data lengths leave out the " + std::to_string(kHeaderBytes) + "-byte header" +
                     (excluding == evidence.blocksWithId ? "" : " in " + std::to_string(excluding) + " blocks") +
                     ", so this reader loses the last " + std::to_string(kHeaderWords) + " words of " + which);
  } else if (evidence.blocksCutByLength > 0) {
    faults.push_back("its data lengths end " + std::to_string(evidence.blocksCutByLength) +
                     " blocks before their last token");
  }
  return faults;
}

std::string IdentifierLine(const FileEvidence& evidence)
{
  std::string line = "identifier: \"" + std::string(kDataBlockId) + "\" starts " +
                     std::to_string(evidence.blocksWithId) + " of " + std::to_string(evidence.blocks) + " blocks";
  if (evidence.firstCount == 0) return line + "; there are no data";
  if (!StartsWithId(evidence)) {
    line += "; the file starts " + HexBytes(evidence.firstBytes.data(), evidence.firstCount, kIdBytes);
  }
  if (evidence.idSpacing == TEGBlockSize) return line + "; it repeats every 32768 bytes, as this reader expects";
  if (evidence.idSpacing != 0) {
    return line + "; it repeats every " + std::to_string(evidence.idSpacing) +
           " bytes, where this reader expects 32768";
  }
  return line;
}

std::string ByteOrderLine(const FileEvidence& evidence)
{
  std::string line = "byte-order words:";
  for (const auto& [word, blocks] : evidence.blocksPerOrderWord) {
    const char* meaning = word == kNativeDataOrder    ? " (this machine's order)"
                          : word == kSwappedDataOrder ? " (the other order, swapped as read)"
                                                      : " (neither order)";
    line += " 0x" + Hex(word, 4) + meaning + " in " + std::to_string(blocks) + " blocks;";
  }
  line.pop_back();
  return line;
}

std::string LengthLine(const FileEvidence& evidence)
{
  return "data lengths: counting the " + std::to_string(kHeaderBytes) + "-byte header in " +
         std::to_string(Reach(evidence, LengthReach::kCountsHeader)) + " blocks, not counting it in " +
         std::to_string(Reach(evidence, LengthReach::kExcludesHeader)) + ", neither in " +
         std::to_string(Reach(evidence, LengthReach::kNeither)) + "; no end-of-block marker in " +
         std::to_string(Reach(evidence, LengthReach::kNoMarker)) + "; " +
         std::to_string(evidence.blocksCutByLength) + " blocks end before their last token";
}

std::string TokenLine(const FileEvidence& evidence)
{
  return "tokens: " + std::to_string(evidence.eventsAcrossBlocks) + " events run across blocks, " +
         std::to_string(evidence.groupItems) + " group items, " + std::to_string(evidence.extendedGroupItems) +
         " extended group items, " + std::to_string(evidence.unknownGroupItems) + " items of unknown groups";
}

std::string ExtentLine(const FileEvidence& evidence)
{
  if (!evidence.readToEnd) return "read: the first " + std::to_string(evidence.blocks) + " blocks, not to the end";
  return "read: all " + std::to_string(evidence.blocks) + " blocks; trailing piece of " +
         std::to_string(evidence.trailingBytes) + " bytes";
}

}  // namespace

bool CheckFile(const std::string& name, uint64_t maxBlocks, FileEvidence& evidence, std::string& error)
{
  std::ostream discarded(nullptr);
  TTudaData reader;
  reader.Source().SetErrors(discarded);
  return CheckFile(reader, name, maxBlocks, evidence, error, [] { return true; });
}

bool CheckFile(TTudaData& reader, const std::string& name, uint64_t maxBlocks, FileEvidence& evidence,
               std::string& error, const std::function<bool()>& afterBlock)
{
  evidence = FileEvidence();
  if (!OpenSource(reader, name, error)) return false;
  evidence.codec = reader.Source().Codec();
  SpacingTracker spacing;
  while (maxBlocks == 0 || evidence.blocks < maxBlocks) {
    if (!ReadBlock(reader, evidence.blocks, evidence.firstBytes, evidence.firstCount)) {
      evidence.readToEnd = true;
      evidence.trailingBytes = reader.Source().LastCount();
      break;
    }
    LookAtBlock(reader, spacing, evidence);
    ++evidence.blocks;
    if (!afterBlock()) break;
  }
  evidence.idSpacing = spacing.Spacing();
  evidence.damaged = reader.Source().Damaged();
  evidence.neededWindowLog = reader.Source().NeededWindowLog();
  reader.CloseDataFile();
  return true;
}

bool LooksRight(const FileEvidence& evidence)
{
  return Faults(evidence).empty();
}

std::string Verdict(const FileEvidence& evidence)
{
  const std::vector<std::string> faults = Faults(evidence);
  if (faults.empty()) return "looks like a data file this reader decodes as written";
  std::string verdict = "looks wrong: ";
  for (size_t i = 0; i < faults.size(); ++i) verdict += (i ? "; " : "") + faults[i];
  return verdict;
}

std::vector<std::string> EvidenceLines(const FileEvidence& evidence)
{
  std::vector<std::string> lines;
  if (evidence.codec != TCodec::kNone) lines.push_back(std::string("codec: ") + CodecName(evidence.codec));
  lines.push_back(IdentifierLine(evidence));
  if (evidence.blocksWithId > 0) {
    lines.push_back(ByteOrderLine(evidence));
    lines.push_back(LengthLine(evidence));
    lines.push_back(TokenLine(evidence));
  }
  lines.push_back(ExtentLine(evidence));
  return lines;
}

BlockStart CheckBlockStart(const unsigned char* bytes, size_t count)
{
  BlockStart start;
  start.firstCount = std::min<size_t>(count, kIdBytes);
  std::memcpy(start.firstBytes.data(), bytes, start.firstCount);
  if (count < TEGBlockSize) {
    start.kind = BlockStart::kShorterThanABlock;
  } else {
    start.kind = HasDataBlockId(bytes) ? BlockStart::kDataBlock : BlockStart::kNoDataBlock;
  }
  return start;
}

bool CheckFileStart(const std::string& name, BlockStart& start, std::string& error)
{
  // Damage in the first block is told once, by the reader that decodes the file afterwards.
  std::ostream discarded(nullptr);
  TTudaData reader;
  reader.Source().SetErrors(discarded);
  if (!OpenSource(reader, name, error)) return false;
  reader.GetDataBlock();
  start = CheckBlockStart(reinterpret_cast<const unsigned char*>(reader.BlockWords()), reader.Source().LastCount());
  return true;
}

std::string NoDataBlockText(const std::string& name, const BlockStart& start)
{
  return name + " does not start with a data block (identifier " +
         HexBytes(start.firstBytes.data(), start.firstCount, kShownIdBytes) + ")";
}
