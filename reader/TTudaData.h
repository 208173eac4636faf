#pragma once

#include <cstdint>
#include <fstream>

#include "reader/TByteSource.h"
#include "reader/TTudaEvent.h"

// ---- Block format --------------------------------------------------------------------------
// A data file is a sequence of 32768-byte blocks. A block is 16384 16-bit words: a 16-word
// header, then event data made of tokens, ended by the end-of-block marker or by the data
// length the header gives. Every format constant is named here, once.

static constexpr uint32_t TEGBlockSize = 0x8000;
static constexpr uint32_t TEGEventStartMask = 0xffff0000;
static constexpr uint32_t TEGEndOfBlockMarker = 0xffff0000;

static constexpr uint32_t adcChannels = 32;
static constexpr uint32_t tdcChannels = 64;
static constexpr uint32_t scalerChannels = 64;
static constexpr uint32_t epicsChannels = 64;

// Group sets: bit g - 1 stands for group g; only groups 1 to 64 can be members.
static constexpr uint64_t adcGroups = 0x000000000007ffffULL;
static constexpr uint64_t tdcGroups = 0x000000001ff80000ULL;
static constexpr uint64_t scalerGroups = 0x0000000020000000ULL;
static constexpr uint64_t epicsGroups = 0x0000000040000000ULL;

static constexpr uint32_t kBlockWords = TEGBlockSize / 2;
// Data volumes are told in megabytes of 2 to the power 20 bytes.
static constexpr uint32_t kBytesPerMegabyte = 1048576;
static constexpr uint32_t kHeaderWords = 16;
static constexpr uint32_t kLastGroupInSets = 64;

// Header words and bytes.
static constexpr uint32_t kIdBytes = 8;
// The identifier data blocks carry; the reader does not compare it, the file check does.
static constexpr char kDataBlockId[kIdBytes + 1] = "EBYEDATA";
static constexpr uint32_t kSerialHighWord = 4;
static constexpr uint32_t kSerialLowWord = 5;
static constexpr uint32_t kAux1Word = 6;
static constexpr uint32_t kAux2Word = 7;
static constexpr uint32_t kAux3Word = 8;
static constexpr uint32_t kDataOrderWord = 9;
static constexpr uint32_t kDataLengthByte = 20;
// The byte-order word, read low byte first, of a block written in the other byte order.
static constexpr uint16_t kSwappedDataOrder = 0x0100;
static constexpr uint16_t kNativeDataOrder = 0x0001;

// The end-of-block marker as the two words it is written as.
static constexpr uint16_t kEndOfBlockFirstWord = TEGEndOfBlockMarker >> 16;
static constexpr uint16_t kEndOfBlockSecondWord = TEGEndOfBlockMarker & 0xffff;
static constexpr unsigned kEndOfBlockWords = 2;

// Tokens: the top two bits of a token's first word give its kind.
static constexpr unsigned kTokenKindShift = 14;
static constexpr uint16_t kSimpleItemKind = 0;
static constexpr uint16_t kGroupItemKind = 1;
static constexpr uint16_t kExtendedGroupItemKind = 2;
static constexpr uint16_t kEventStartKind = 3;

// Simple item address word: bits 13-8 the channel within the group, bits 7-0 the group.
static constexpr uint16_t kAddressMask = 0x3fff;
static constexpr uint16_t kGroupMask = 0xff;
static constexpr unsigned kChannelShift = 8;
static constexpr uint16_t kChannelMask = 0x3f;
static constexpr uint16_t kAdcValueMask = 0x0fff;
// A 32-bit item's words after its address word: low half, a skipped word, high half.
static constexpr unsigned kWideHighHalf = 2;

// Group item word: bits 13-8 the count of data words, bits 7-0 the group.
static constexpr unsigned kGroupCountShift = 8;
static constexpr uint16_t kGroupCountMask = 0x3f;

// Words each token occupies in the decoder. An extended group item carries no length of its
// own; the decoder reports it and steps one word, the least step that makes progress.
static constexpr unsigned kSimpleItemWords = 2;
static constexpr unsigned kWideItemWords = 4;
static constexpr unsigned kGroupItemWords = 2;
static constexpr unsigned kEventStartWords = 2;
static constexpr unsigned kExtendedGroupItemWords = 1;

// ---- Decoding rules shared by the reader and the tools --------------------------------------

// Which list a simple item's group sends it to. Groups above the sets are stepped over silently;
// the rest of the groups outside the sets are reported as unknown.
enum class GroupKind { kAdc, kTdc, kEpics, kScaler, kBeyondSets, kUnknown };

constexpr GroupKind KindOfGroup(unsigned group)
{
  const uint64_t bit = (group >= 1 && group <= kLastGroupInSets) ? uint64_t(1) << (group - 1) : 0;
  if (bit & adcGroups) return GroupKind::kAdc;
  if (bit & tdcGroups) return GroupKind::kTdc;
  if (bit & epicsGroups) return GroupKind::kEpics;
  if (bit & scalerGroups) return GroupKind::kScaler;
  return group > kLastGroupInSets ? GroupKind::kBeyondSets : GroupKind::kUnknown;
}

// 32-bit kinds, and groups above the sets, take four words; the rest two.
constexpr unsigned SimpleItemWords(GroupKind kind)
{
  switch (kind) {
    case GroupKind::kEpics:
    case GroupKind::kScaler:
    case GroupKind::kBeyondSets:
      return kWideItemWords;
    default:
      return kSimpleItemWords;
  }
}

// How far the decoder steps over the token whose first word is `firstWord`; never more than
// kWideItemWords.
constexpr unsigned DecodedTokenWords(uint16_t firstWord)
{
  switch (firstWord >> kTokenKindShift) {
    case kSimpleItemKind:
      return SimpleItemWords(KindOfGroup(firstWord & kGroupMask));
    case kGroupItemKind:
      return kGroupItemWords;
    case kExtendedGroupItemKind:
      return kExtendedGroupItemWords;
    default:
      return kEventStartWords;
  }
}

// Whether the end-of-block marker starts at `word`; reads no word at or after `end`.
constexpr bool AtEndOfBlockMarker(const uint16_t* word, const uint16_t* end)
{
  return end - word >= kEndOfBlockWords && word[0] == kEndOfBlockFirstWord && word[1] == kEndOfBlockSecondWord;
}

// ---- Records the reader fills from block words -----------------------------------------------

// The header of the block in the buffer. Holds no defined value before the first block.
class THeader {
 public:
  THeader() {}
  char fId[kIdBytes];
  uint64_t fSerial;
  uint16_t fAux1;
  uint16_t fAux2;
  uint16_t fAux3;
  uint16_t fDataOrder;
  uint64_t fDataLength;
};

// One simple item word; `data` points at the next word of the loaded block.
class TSimpleItem {
 public:
  TSimpleItem() : bits(0) {}
  uint16_t bits;
  uint16_t addr;
  const uint16_t* data;
};

// One group item word; `data` points at the next word of the loaded block.
class TGroupItem {
 public:
  TGroupItem() {}
  uint16_t bits;
  uint16_t count;
  uint16_t group;
  const uint16_t* data;
};

// ---- The reader --------------------------------------------------------------------------------

// Reads a data file block by block and decodes its tokens into one reusable TTudaEvent.
// The event returned by GetNextEvent belongs to the reader; the caller clears it after use.
// Members are public records: the node reads fFile, tools and tests read the rest. The reader
// owns the block buffer and the event that fBuffer and fEvent point at: copying and assigning a
// reader gives it copies of its own.
class TTudaData {
 public:
  TTudaData();
  TTudaData(const TTudaData& other);
  TTudaData& operator=(const TTudaData& other);
  virtual ~TTudaData();

  // Settings, counters and, with the debug flag, the four group sets, on standard output.
  virtual void Print(const char* option) const;

  void SetDebug(int level);
  void SetGroups();

  void OpenDataFile(const char* name);
  void CloseDataFile();
  bool GetDataBlock();
  void DecodeHeader();

  TTudaEvent* GetNextEvent();
  unsigned int FormatData(TSimpleItem* item) const;
  unsigned int FormatData(TGroupItem* item) const;

  // A word-by-word listing of the rest of the loaded block, on standard output.
  void DumpEvents() const;
  // The data volume read so far, against the caller's elapsed seconds.
  void PrintStatus(int seconds) const;

  uint32_t fBlockSize;
  uint32_t fCharsInBlock;
  uint32_t fIntsInBlock;
  uint16_t* fBuffer;
  uint16_t* fCursor = nullptr;
  bool fNeedBlock;
  bool fDebug;
  uint32_t fBlocksRead;
  uint16_t fAdcFirstGroup;
  uint16_t fTdcFirstGroup;
  uint16_t fEpicsFirstGroup;
  uint16_t fScalerFirstGroup;
  TTudaEvent* fEvent;
  THeader fHeader;
  std::ifstream fFile;
  // Where fFile's blocks come from, decompressed when they are compressed; not copied. Declared
  // after fFile, so that a helper thread reading the file ends before the file closes.
  TByteSource fSource;
};
