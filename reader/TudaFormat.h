#pragma once

#include <cstddef>
#include <cstdint>

// The UK MIDAS block data format as the reader, the writer, the tools and the tests see it.
//
// A data file is a sequence of 32768-byte blocks and nothing else. A block is 16384 16-bit
// words: a 16-word header, then event data made of tokens, ended by the end-of-block marker or
// by the data length the header gives. Every format constant and decoding rule is named here,
// once.

// ---- Blocks ------------------------------------------------------------------------------------

static constexpr uint32_t TEGBlockSize = 0x8000;              // bytes per block
static constexpr uint32_t kBytesPerWord = 2;                  // word n: bytes 2n, 2n + 1
static constexpr uint32_t kBlockWords = TEGBlockSize / kBytesPerWord;
static constexpr uint32_t kHeaderWords = 16;                  // words 0-15; data from word 16

// Header words and bytes.
static constexpr uint32_t kIdBytes = 8;                       // bytes 0-7: identifier
// The identifier data blocks carry; the reader does not compare it, the file check does.
static constexpr char kDataBlockId[kIdBytes + 1] = "EBYEDATA";
static constexpr uint32_t kSerialHighWord = 4;                // words 4-5: 32-bit serial
static constexpr uint32_t kSerialLowWord = 5;
static constexpr uint32_t kAux1Word = 6;                      // words 6-8: not interpreted
static constexpr uint32_t kAux2Word = 7;
static constexpr uint32_t kAux3Word = 8;
static constexpr uint32_t kDataOrderWord = 9;                 // word 9: byte-order word
static constexpr uint32_t kDataLengthByte = 20;               // bytes 20-27: data length in bytes
// The byte-order word, read low byte first, of a block written in the other byte order.
static constexpr uint16_t kSwappedDataOrder = 0x0100;
static constexpr uint16_t kNativeDataOrder = 0x0001;

// ---- End-of-block marker -----------------------------------------------------------------------

// Words 0xffff, 0x0000 end a block's data; the event-start mask is declared beside it and unused.
static constexpr uint32_t TEGEventStartMask = 0xffff0000;
static constexpr uint32_t TEGEndOfBlockMarker = 0xffff0000;
static constexpr uint16_t kEndOfBlockFirstWord = TEGEndOfBlockMarker >> 16;
static constexpr uint16_t kEndOfBlockSecondWord = TEGEndOfBlockMarker & 0xffff;
static constexpr unsigned kEndOfBlockWords = 2;

// ---- Tokens ------------------------------------------------------------------------------------

// Bits 15-14 of a token's first word: its kind.
static constexpr unsigned kTokenKindShift = 14;
static constexpr uint16_t kSimpleItemKind = 0;                // address word, data word(s)
static constexpr uint16_t kGroupItemKind = 1;                 // count and group, data words
static constexpr uint16_t kExtendedGroupItemKind = 2;         // no length of its own
static constexpr uint16_t kEventStartKind = 3;                // 0xc000 and the event's length

enum class TokenKind : uint8_t {
  kSimpleItem = kSimpleItemKind,
  kGroupItem = kGroupItemKind,
  kExtendedGroupItem = kExtendedGroupItemKind,
  kEventStart = kEventStartKind
};
static constexpr size_t kTokenKinds = static_cast<size_t>(TokenKind::kEventStart) + 1;

// The kind of the token whose first word is `word`: every walk over tokens asks here.
constexpr TokenKind TokenKindOf(uint16_t word)
{
  return static_cast<TokenKind>(word >> kTokenKindShift);
}

// Simple item address word: bits 13-8 the channel within the group, bits 7-0 the group.
static constexpr uint16_t kAddressMask = 0x3fff;
static constexpr uint16_t kGroupMask = 0xff;
static constexpr unsigned kChannelShift = 8;
static constexpr uint16_t kChannelMask = 0x3f;
static constexpr uint16_t kAdcValueMask = 0x0fff;             // an ADC value: data bits 11-0
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
// No token the decoder steps over is longer.
static constexpr unsigned kLongestTokenWords = kWideItemWords;

// ---- Groups ------------------------------------------------------------------------------------

static constexpr uint32_t adcChannels = 32;                   // channels per ADC group
static constexpr uint32_t tdcChannels = 64;                   // channels per TDC group
static constexpr uint32_t scalerChannels = 64;                // channels per scaler group
static constexpr uint32_t epicsChannels = 64;                 // channels per EPICS group

// Group sets: bit g - 1 stands for group g; only groups 1 to 64 can be members.
static constexpr uint64_t adcGroups = 0x000000000007ffffULL;     // groups 1-19
static constexpr uint64_t tdcGroups = 0x000000001ff80000ULL;     // groups 20-29
static constexpr uint64_t scalerGroups = 0x0000000020000000ULL;  // group 30
static constexpr uint64_t epicsGroups = 0x0000000040000000ULL;   // group 31

static constexpr uint32_t kLastGroupInSets = 64;
static constexpr size_t kGroupNumbers = kGroupMask + 1;       // groups 0-255

// Which list a simple item's group sends it to. Groups above the sets are stepped over silently;
// the rest of the groups outside the sets are reported as unknown.
enum class GroupKind : uint8_t { kAdc, kTdc, kEpics, kScaler, kBeyondSets, kUnknown };
static constexpr size_t kGroupKinds = static_cast<size_t>(GroupKind::kUnknown) + 1;

constexpr GroupKind KindOfGroup(unsigned group)
{
  const uint64_t bit = (group >= 1 && group <= kLastGroupInSets) ? uint64_t(1) << (group - 1) : 0;
  if (bit & adcGroups) return GroupKind::kAdc;
  if (bit & tdcGroups) return GroupKind::kTdc;
  if (bit & epicsGroups) return GroupKind::kEpics;
  if (bit & scalerGroups) return GroupKind::kScaler;
  return group > kLastGroupInSets ? GroupKind::kBeyondSets : GroupKind::kUnknown;
}

// ---- How far a token is stepped over -----------------------------------------------------------

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

// The rules a walk steps over a token by.
enum class TokenStep : uint8_t {
  kSimpleItem,         // kSimpleItemWords, whatever its group
  kSimpleItemByGroup,  // SimpleItemWords of its group
  kGroupItem,          // kGroupItemWords; its data words are decoded as tokens
  kGroupItemWithData,  // kGroupItemWords and the data words its count gives
  kExtendedGroupItem,  // kExtendedGroupItemWords
  kEventStart,         // kEventStartWords
};

// How far the decoder and the dump step over each kind of token, indexed by TokenKind. The dump
// lists the words as they stand: every simple item is one two-word line (a 32-bit item shows as
// two lines), and a group item takes its data words with it.
struct TokenSteps {
  TokenStep decoder;
  TokenStep dump;
};
static constexpr TokenSteps kTokenSteps[kTokenKinds] = {
    {TokenStep::kSimpleItemByGroup, TokenStep::kSimpleItem},                // simple item
    {TokenStep::kGroupItem, TokenStep::kGroupItemWithData},                 // group item
    {TokenStep::kExtendedGroupItem, TokenStep::kExtendedGroupItem},         // extended group item
    {TokenStep::kEventStart, TokenStep::kEventStart},                       // event start
};

// The words `step` takes over the token whose first word is `word`.
constexpr unsigned StepWords(TokenStep step, uint16_t word)
{
  switch (step) {
    case TokenStep::kSimpleItem:
      return kSimpleItemWords;
    case TokenStep::kSimpleItemByGroup:
      return SimpleItemWords(KindOfGroup(word & kGroupMask));
    case TokenStep::kGroupItem:
      return kGroupItemWords;
    case TokenStep::kGroupItemWithData:
      return kGroupItemWords + ((word >> kGroupCountShift) & kGroupCountMask);
    case TokenStep::kExtendedGroupItem:
      return kExtendedGroupItemWords;
    default:
      return kEventStartWords;
  }
}

// How far the decoder steps over the token whose first word is `word`; never more than
// kLongestTokenWords.
constexpr unsigned DecodedTokenWords(uint16_t word)
{
  return StepWords(kTokenSteps[static_cast<size_t>(TokenKindOf(word))].decoder, word);
}

// How far the dump steps over the token whose first word is `word`.
constexpr unsigned DumpedTokenWords(uint16_t word)
{
  return StepWords(kTokenSteps[static_cast<size_t>(TokenKindOf(word))].dump, word);
}

// Whether the decoder's token at `word` lies wholly in the `left` words before the block's end.
// Any token fits in kLongestTokenWords: only near the end does the token itself matter.
constexpr bool DecodedTokenFits(uint16_t word, size_t left)
{
  return left >= kLongestTokenWords || left >= DecodedTokenWords(word);
}

// Whether the end-of-block marker starts at `word`; reads no word at or after `end`.
constexpr bool AtEndOfBlockMarker(const uint16_t* word, const uint16_t* end)
{
  return end - word >= kEndOfBlockWords && word[0] == kEndOfBlockFirstWord && word[1] == kEndOfBlockSecondWord;
}

// Steps from `word` over whole tokens by the decoder's rule, without any data length, to the
// end-of-block marker, to `end`, or to the first token that would cross `end`; where it stopped.
// `visit` is given each token's first word and the word after it. Reads no word at or after `end`.
template <typename Visit>
const uint16_t* StepToMarker(const uint16_t* word, const uint16_t* end, Visit&& visit)
{
  while (word < end && !AtEndOfBlockMarker(word, end) && DecodedTokenFits(*word, end - word)) {
    const uint16_t* const next = word + DecodedTokenWords(*word);
    visit(*word, next);
    word = next;
  }
  return word;
}

inline const uint16_t* StepToMarker(const uint16_t* word, const uint16_t* end)
{
  return StepToMarker(word, end, [](uint16_t, const uint16_t*) {});
}
