#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "writer/MidasFileWriter.h"

// Block and word builders that the reader's test programs share; every block is made with the
// project's writer.

using Bytes = std::vector<uint8_t>;

// The length word of the event-start tokens below; the decoder never reads it.
constexpr uint16_t kEventLength = 0x20;
const Words kEventStart = tokens::EventStart(kEventLength);

// Worked examples: an item's words and what the decoder makes of them.
const Words kAdcExample{0x0503, 0x1abc};  // ADC channel 69, value 2748
const Words kTdcExample{0x0a15, 0x1abc};  // TDC channel 74, value 6844

// Two-word items from word 18 up to, not including, word 16382 (after an event-start token).
constexpr unsigned kItemsToWord16382 = (kBlockWords - 2 - kHeaderWords - kEventStartWords) / 2;

inline Words Join(std::initializer_list<Words> parts)
{
  Words words;
  for (const Words& part : parts) words.insert(words.end(), part.begin(), part.end());
  return words;
}

inline Words Repeat(const Words& token, unsigned times)
{
  Words words;
  for (unsigned i = 0; i < times; ++i) words.insert(words.end(), token.begin(), token.end());
  return words;
}

// `count` ADC items with channels 0, 1, 2, ... and values equal to their channels.
inline Words AdcItems(unsigned count)
{
  Words words;
  for (unsigned i = 0; i < count; ++i) {
    const Words item = tokens::Adc(i % (19 * adcChannels), static_cast<uint16_t>(i & kAdcValueMask));
    words.insert(words.end(), item.begin(), item.end());
  }
  return words;
}

inline BlockLayout LengthLayout(uint64_t lengthBytes)
{
  BlockLayout layout;
  layout.length = DataLength::kExplicit;
  layout.explicitLength = lengthBytes;
  return layout;
}

// The blocks one after the other, then `tail`.
inline Bytes Concatenated(const std::vector<Bytes>& blocks, const Bytes& tail = {})
{
  Bytes bytes;
  for (const Bytes& block : blocks) bytes.insert(bytes.end(), block.begin(), block.end());
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}
