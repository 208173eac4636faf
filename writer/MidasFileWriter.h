#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "reader/TudaFormat.h"

// Builds UK MIDAS list-mode data files byte for byte: block headers in either byte order, event
// data made of tokens, end-of-block markers, data-length variants, events that run across
// blocks, and a short trailing piece. Tests, benchmarks, fuzz seeds and `tuda gen` make all
// their data through it.

using Words = std::vector<uint16_t>;

// Token encoders: each gives the words of one token exactly as a block holds them.
// Group numbers and channels within a group keep only the bits their fields hold.
namespace tokens {
// The event-start token: 0xc000 and the event's length in bytes.
Words EventStart(uint16_t lengthBytes);
Words Simple(unsigned group, unsigned channelInGroup, uint16_t data);
// A 32-bit item: address, low half, a word the decoder skips, high half.
Words Wide(unsigned group, unsigned channelInGroup, uint32_t value, uint16_t skipped = 0);
// Items addressed by their decoded channel numbers, in the first group of their kind onwards.
Words Adc(unsigned channel, uint16_t value);
Words Tdc(unsigned channel, uint16_t value);
Words Scaler(unsigned channel, uint32_t value);
Words Epics(unsigned channel, uint32_t value);
// A group item word, the word after it, then `data` (its count is data.size()).
Words Group(unsigned group, uint16_t second, const Words& data);
Words ExtendedGroup(uint16_t low14Bits);
}  // namespace tokens

// How the header's data-length field is filled.
enum class DataLength {
  kThroughData,    // bytes from the start of the block to the end of the last token
  kThroughMarker,  // the same, plus the end-of-block marker
  kDataOnly,       // bytes of the tokens alone, header not counted
  kZero,
  kExplicit,       // BlockLayout::explicitLength; a swapped block keeps its low 32 bits
};

// Everything about a block other than its tokens.
struct BlockLayout {
  std::string id = kDataBlockId;
  uint32_t serial = 0;
  uint16_t aux1 = 0;
  uint16_t aux2 = 0;
  uint16_t aux3 = 0;
  bool swapped = false;  // written in the other byte order, with the byte-order word 0x0100
  DataLength length = DataLength::kThroughData;
  uint64_t explicitLength = 0;
  // Bytes 24-27, in the block's byte order: OR'ed into the high half of a non-swapped block's
  // 64-bit length; a swapped block's reader ignores them.
  uint32_t lengthHighBytes = 0;
  bool endMarker = true;
  uint16_t fill = 0;  // the words after the data and marker, up to the end of the block
};

// Room for tokens in one block that also carries the end-of-block marker.
static constexpr uint32_t kDataWordsPerBlock = kBlockWords - kHeaderWords - kEndOfBlockWords;

// The 32768 bytes of one block whose event data are `data`. Words beyond the block are dropped;
// the marker is written only where it fits.
std::vector<uint8_t> BuildBlock(const Words& data, const BlockLayout& layout);

// One event: the tokens that follow its event-start token.
struct WriterEvent {
  std::vector<Words> tokens;
};

// Packs events into blocks and writes each block as it fills. A token never straddles two
// blocks; an event runs on into the next block when its tokens do not fit.
class MidasFileWriter {
 public:
  using LayoutChooser = std::function<BlockLayout(uint64_t blockIndex)>;

  explicit MidasFileWriter(std::ostream& out, BlockLayout layout = BlockLayout());
  MidasFileWriter(std::ostream& out, LayoutChooser chooseLayout);

  // The event-start token (its length word counts the event's bytes, its own included), then
  // every token.
  void AddEvent(const WriterEvent& event);
  // One token, as it stands, into the current block.
  void AddToken(const Words& token);
  // Writes the block in hand, if it holds any token. Call it after the last token: the writer
  // does not write on destruction. The stream must outlive the writer.
  void EndBlock();
  // Ends the block in hand, then writes bytes as they are (a short trailing piece).
  void AddRawBytes(const std::vector<uint8_t>& bytes);

  uint64_t BlocksWritten() const { return blocksWritten; }

 private:
  std::ostream& out;
  LayoutChooser chooseLayout;
  Words block;
  uint64_t blocksWritten = 0;
};

// Writes `bytes` to the file at `path`; false, with nothing reported, when it cannot.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
