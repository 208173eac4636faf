#pragma once

#include <cstddef>
#include <cstdint>
#include <iostream>

#include "reader/TudaFormat.h"

class TTudaData;
class TTudaEvent;

// Why words of a block were not decoded into items or events.
enum class TTudaCause {
  kUnknownGroup,           // a simple item of group 0 or 32 to 64: its 2 words
  kGroupItem,              // a group item word and the word after it: 2 words; its data words
                           // are decoded as tokens
  kExtendedGroupItem,      // an extended group item word: 1 word
  kBeyondSets,             // a simple item of a group above 64: its 4 words, stepped over silently
  kTokenPastBlockEnd,      // a token that would cross the block's end, and every word after it
  kNoEndOfBlockMarker,     // the walk reached the block's end without a marker: 0 words
  kAfterDataLength,        // the words from where the data length ended the walk to the marker,
                           // or to the block's end without one, when any of them is not zero
  kPaddingAfterDataLength  // the same words when all of them are zero: fill, nothing lost
};
static constexpr size_t kTudaCauses = static_cast<size_t>(TTudaCause::kPaddingAfterDataLength) + 1;

// Words of the loaded block not decoded: `words` words from word `word` of the block, for
// `cause`. `group` is the item's group for the two simple-item causes, else 0.
struct TTudaDrop {
  TTudaCause cause;
  uint32_t word;
  uint32_t words;
  uint16_t group;
};

// What ended the walk over a block.
enum class TTudaBlockEnd {
  kMarker,             // the end-of-block marker (also when the data length ends there)
  kDataLength,         // the data length, before any marker
  kBlockEnd,           // the last word of the block, without a marker
  kTokenPastBlockEnd   // a token that would cross the block's end
};

// Where every word of one block went: header, decoded tokens, dropped words by cause, marker and
// fill add up to kBlockWords. Bytes are words times kBytesPerWord.
struct TTudaBlockAccount {
  uint64_t block = 0;         // the block's number, counting every block the reader read, from 1
  bool swapped = false;       // written in the other byte order
  TTudaBlockEnd end = TTudaBlockEnd::kMarker;
  bool markerFound = false;   // the marker ended the data, or follows where the data length did
  uint32_t headerWords = 0;
  uint32_t decodedWords = 0;  // tokens decoded into items and event starts
  uint32_t droppedWords[kTudaCauses] = {};  // indexed by TTudaCause; the sums of the block's drops
  uint32_t markerWords = 0;
  uint32_t fillWords = 0;     // after the marker, up to the block's end

  // Filled only for a reporter whose CountsTokens() is true: the tokens the walk met, stepped
  // over by the decoder's own rule, whether decoded or dropped.
  uint32_t events = 0;
  uint32_t simpleItemsPerGroup[kGroupNumbers] = {};
  uint32_t groupItems = 0;
  uint32_t extendedGroupItems = 0;

  // Counts the token whose first word is `token` in the token counts above.
  void Count(uint16_t token)
  {
    switch (TokenKindOf(token)) {
      case TokenKind::kSimpleItem:
        ++simpleItemsPerGroup[token & kGroupMask];
        break;
      case TokenKind::kGroupItem:
        ++groupItems;
        break;
      case TokenKind::kExtendedGroupItem:
        ++extendedGroupItems;
        break;
      case TokenKind::kEventStart:
        ++events;
        break;
    }
  }
  // The simple items counted of the groups of `kind`.
  uint64_t SimpleItems(GroupKind kind) const;
};

// Told what the reader drops or leaves undecoded, with the cause and the number of words (or
// bytes), and where each block's words went. The reader's owner may install one with
// TTudaData::SetReporter; without one, the reader writes its error lines as this class's
// defaults do. Every call comes on the thread that calls GetNextEvent; none on the path of a
// decoded item. Override what you need; call the base's Dropped to keep the reader's lines.
class TTudaReporter {
 public:
  TTudaReporter() = default;
  // A reporter whose reader writes all its lines on `output` and `errors` instead of standard
  // output and standard error: so that a reader on a helper thread can gather them. Both streams
  // must outlive the reporter's use.
  TTudaReporter(std::ostream& output, std::ostream& errors) : fOutput(&output), fErrors(&errors) {}
  virtual ~TTudaReporter() = default;

  // Words not decoded, at the moment the walk finds them, in block order; before the block's
  // BlockEnded. The default writes the reader's line for the cause (see WriteReaderLine).
  virtual void Dropped(const TTudaDrop& drop, const TTudaData& reader);
  // The loaded block is used up. Once per block, after its last Dropped.
  virtual void BlockEnded(const TTudaBlockAccount&) {}
  // A read met the end of the file after `bytes` bytes, fewer than a block: never decoded.
  virtual void TrailingPiece(uint64_t) {}
  // GetNextEvent found no whole block left and returns null, each time it does. `held` is the
  // event in hand: the items appended since the last event-start token, which only the first
  // event-start token of a file opened later delivers.
  virtual void EndOfData(const TTudaEvent&) {}
  // Whether BlockEnded's account should carry the token counts; they cost a second pass over the
  // block's words.
  virtual bool CountsTokens() const { return false; }

  // Where the reader writes the lines it has always written on standard output and error.
  std::ostream& Output() const { return *fOutput; }
  std::ostream& Errors() const { return *fErrors; }

  // The reader's own line for a drop, on the reader's stream it has always used (see
  // TTudaData::Output); nothing for the causes that had no line (groups above the sets, words
  // after the data length).
  static void WriteReaderLine(const TTudaDrop& drop, const TTudaData& reader);
  // Whether WriteReaderLine writes a line for `cause`.
  static bool WritesLine(TTudaCause cause);

 private:
  std::ostream* fOutput = &std::cout;
  std::ostream* fErrors = &std::cerr;
};
