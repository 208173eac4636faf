#include "writer/MidasFileWriter.h"

#include <algorithm>
#include <fstream>

namespace {

// The lowest group of a group set: channel numbers of each kind count from there.
constexpr unsigned FirstGroup(uint64_t groups)
{
  unsigned group = 1;
  while (groups != 0 && (groups & 1) == 0) {
    groups >>= 1;
    ++group;
  }
  return group;
}

constexpr uint16_t TokenWord(uint16_t kind, unsigned high6Bits, unsigned group)
{
  return static_cast<uint16_t>((kind << kTokenKindShift) | ((high6Bits & kChannelMask) << kChannelShift) |
                               (group & kGroupMask));
}

constexpr uint16_t LowHalf(uint32_t value) { return static_cast<uint16_t>(value & 0xffff); }
constexpr uint16_t HighHalf(uint32_t value) { return static_cast<uint16_t>(value >> 16); }

// A 32-bit kind stores channel / 2 of the word position within its groups.
Words WideByChannel(uint64_t groups, uint32_t channelsPerGroup, unsigned channel, uint32_t value)
{
  const unsigned position = 2 * channel;
  return tokens::Wide(FirstGroup(groups) + position / channelsPerGroup, position % channelsPerGroup, value);
}

// The bytes of one block, each word placed in the block's byte order.
class BlockBytes {
 public:
  explicit BlockBytes(bool bigEndian) : bytes(TEGBlockSize, 0), bigEndian(bigEndian) {}

  void PutWord(uint32_t index, uint16_t word)
  {
    const uint8_t low = static_cast<uint8_t>(word & 0xff);
    const uint8_t high = static_cast<uint8_t>(word >> 8);
    bytes[kBytesPerWord * index] = bigEndian ? high : low;
    bytes[kBytesPerWord * index + 1] = bigEndian ? low : high;
  }

  // Two words at a byte offset, the more significant half first in a big-endian block.
  void PutLong(uint32_t byteOffset, uint32_t value)
  {
    const uint32_t word = byteOffset / kBytesPerWord;
    PutWord(word, bigEndian ? HighHalf(value) : LowHalf(value));
    PutWord(word + 1, bigEndian ? LowHalf(value) : HighHalf(value));
  }

  std::vector<uint8_t> bytes;
  const bool bigEndian;
};

uint64_t DataLengthBytes(size_t dataWords, const BlockLayout& layout)
{
  const uint64_t headerBytes = kHeaderWords * kBytesPerWord;
  const uint64_t dataBytes = dataWords * kBytesPerWord;
  switch (layout.length) {
    case DataLength::kThroughData:
      return headerBytes + dataBytes;
    case DataLength::kThroughMarker:
      return headerBytes + dataBytes + kEndOfBlockWords * kBytesPerWord;
    case DataLength::kDataOnly:
      return dataBytes;
    case DataLength::kZero:
      return 0;
    case DataLength::kExplicit:
      return layout.explicitLength;
  }
  return 0;
}

void PutHeader(BlockBytes& block, size_t dataWords, const BlockLayout& layout)
{
  std::copy_n(layout.id.begin(), std::min<size_t>(layout.id.size(), kIdBytes), block.bytes.begin());
  block.PutWord(kSerialHighWord, HighHalf(layout.serial));
  block.PutWord(kSerialLowWord, LowHalf(layout.serial));
  block.PutWord(kAux1Word, layout.aux1);
  block.PutWord(kAux2Word, layout.aux2);
  block.PutWord(kAux3Word, layout.aux3);
  // Written in the block's own order, so a reader of the other order sees kSwappedDataOrder.
  block.PutWord(kDataOrderWord, kNativeDataOrder);

  const uint64_t length = DataLengthBytes(dataWords, layout);
  const uint32_t lengthHigh = layout.swapped ? 0 : static_cast<uint32_t>(length >> 32);
  block.PutLong(kDataLengthByte, static_cast<uint32_t>(length));
  block.PutLong(kDataLengthByte + sizeof(uint32_t), lengthHigh | layout.lengthHighBytes);
}

}  // namespace

namespace tokens {

Words EventStart(uint16_t lengthBytes) { return {TokenWord(kEventStartKind, 0, 0), lengthBytes}; }

Words Simple(unsigned group, unsigned channelInGroup, uint16_t data)
{
  return {TokenWord(kSimpleItemKind, channelInGroup, group), data};
}

Words Wide(unsigned group, unsigned channelInGroup, uint32_t value, uint16_t skipped)
{
  return {TokenWord(kSimpleItemKind, channelInGroup, group), LowHalf(value), skipped, HighHalf(value)};
}

Words Adc(unsigned channel, uint16_t value)
{
  return Simple(FirstGroup(adcGroups) + channel / adcChannels, channel % adcChannels, value);
}

Words Tdc(unsigned channel, uint16_t value)
{
  return Simple(FirstGroup(tdcGroups) + channel / tdcChannels, channel % tdcChannels, value);
}

Words Scaler(unsigned channel, uint32_t value)
{
  return WideByChannel(scalerGroups, scalerChannels, channel, value);
}

Words Epics(unsigned channel, uint32_t value)
{
  return WideByChannel(epicsGroups, epicsChannels, channel, value);
}

Words Group(unsigned group, uint16_t second, const Words& data)
{
  const unsigned count = static_cast<unsigned>(data.size()) & kGroupCountMask;
  const uint16_t word = static_cast<uint16_t>((kGroupItemKind << kTokenKindShift) | (count << kGroupCountShift) |
                                              (group & kGroupMask));
  Words words{word, second};
  words.insert(words.end(), data.begin(), data.end());
  return words;
}

Words ExtendedGroup(uint16_t low14Bits)
{
  return {static_cast<uint16_t>((kExtendedGroupItemKind << kTokenKindShift) | (low14Bits & kAddressMask))};
}

}  // namespace tokens

std::vector<uint8_t> BuildBlock(const Words& data, const BlockLayout& layout)
{
  const uint32_t room = kBlockWords - kHeaderWords;
  const uint32_t dataWords = static_cast<uint32_t>(std::min<size_t>(data.size(), room));
  BlockBytes block(layout.swapped);
  PutHeader(block, dataWords, layout);

  uint32_t index = kHeaderWords;
  for (uint32_t i = 0; i < dataWords; ++i) block.PutWord(index++, data[i]);
  if (layout.endMarker && index + kEndOfBlockWords <= kBlockWords) {
    block.PutWord(index++, kEndOfBlockFirstWord);
    block.PutWord(index++, kEndOfBlockSecondWord);
  }
  while (index < kBlockWords) block.PutWord(index++, layout.fill);
  return block.bytes;
}

MidasFileWriter::MidasFileWriter(std::ostream& out, BlockLayout layout)
    : MidasFileWriter(out, [layout](uint64_t) { return layout; })
{
}

MidasFileWriter::MidasFileWriter(std::ostream& out, LayoutChooser chooseLayout)
    : out(out), chooseLayout(std::move(chooseLayout))
{
  block.reserve(kDataWordsPerBlock);
}

void MidasFileWriter::AddEvent(const WriterEvent& event)
{
  size_t words = kEventStartWords;
  for (const Words& token : event.tokens) words += token.size();
  AddToken(tokens::EventStart(static_cast<uint16_t>(words * kBytesPerWord)));
  for (const Words& token : event.tokens) AddToken(token);
}

void MidasFileWriter::AddToken(const Words& token)
{
  if (!block.empty() && block.size() + token.size() > kDataWordsPerBlock) EndBlock();
  block.insert(block.end(), token.begin(), token.end());
}

void MidasFileWriter::EndBlock()
{
  if (block.empty()) return;
  const std::vector<uint8_t> bytes = BuildBlock(block, chooseLayout(blocksWritten));
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ++blocksWritten;
  block.clear();
}

void MidasFileWriter::AddRawBytes(const std::vector<uint8_t>& bytes)
{
  EndBlock();
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return file.good();
}
