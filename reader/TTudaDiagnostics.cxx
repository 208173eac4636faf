// The reader's diagnostic printouts: settings, data volume, and the word-by-word dump of a block.
#include <iostream>

#include "reader/BlockEndMessages.h"
#include "reader/TTudaData.h"

namespace {

void PrintGroupSet(const char* heading, uint64_t groups)
{
  std::cout << heading << std::endl;
  for (unsigned bit = 0; bit < kLastGroupInSets; ++bit) {
    if ((groups >> bit) & 1) std::cout << bit + 1 << " ";
  }
  std::cout << std::endl;
}

void DumpSimpleItem(const uint16_t* position)
{
  const TSimpleItem item = SimpleItemAt(position);
  std::cout << "SI w1=" << std::hex << position[0] << " w2=" << position[1] << " bits=" << item.bits
            << " addr=" << item.addr << " data=" << *item.data << std::endl;
}

// The line shows the word before the item word and has no line end of its own: the first data
// word, or else the next output, continues it.
void DumpGroupItem(const uint16_t* position)
{
  const TGroupItem item = GroupItemAt(position);
  std::cout << "GI w1=" << std::hex << position[-1] << " w2=" << position[0] << " bits=" << item.bits
            << " count=" << item.count << " group=" << item.group;
  const uint16_t* data = position + kGroupItemWords;
  for (unsigned j = 0; j < item.count; ++j) std::cout << " data[" << j << "]=" << data[j] << std::endl;
}

void DumpEventStart(const uint16_t* position, uint32_t event)
{
  if (event != 0) std::cout << "DumpEvents: Call write event" << std::endl;
  std::cout << "DumpEvents: Event " << std::dec << event << " with " << position[1] << " bytes of data"
            << std::endl;
}

// Lists the token at `position`; the position after it, or null when the dump must stop.
const uint16_t* DumpToken(const TTudaData& reader, const uint16_t* position, uint32_t& events)
{
  const uint32_t offset = WordOffset(reader, position);
  const size_t left = WordsLeft(reader, position);
  if (left == 0) {
    WriteNoEndMarker(reader.Errors(), "DumpEvents", offset, "ending the dump");
    return nullptr;
  }
  // The dump steps over tokens as kTokenSteps gives: a group item's data words go with it.
  const size_t words = DumpedTokenWords(*position);
  if (left < words) {
    WriteTokenPastEnd(reader.Errors(), "DumpEvents", offset, "ending the dump");
    return nullptr;
  }
  switch (TokenKindOf(*position)) {
    case TokenKind::kSimpleItem:
      DumpSimpleItem(position);
      break;
    case TokenKind::kGroupItem:
      DumpGroupItem(position);
      break;
    case TokenKind::kExtendedGroupItem:
      std::cout << "DumpEvents: EGI data is currently unsupported" << std::endl;
      break;
    case TokenKind::kEventStart:
      DumpEventStart(position, events++);
      break;
  }
  return position + words;
}

}  // namespace

void TTudaData::Print(const char*) const
{
  std::cout << "Debug level         = " << static_cast<int>(fDebug) << std::endl;
  std::cout << "Integers in block   = " << fIntsInBlock << std::endl;
  std::cout << "Characters in block = " << fCharsInBlock << std::endl;
  std::cout << "Block size          = " << fBlockSize << std::endl;
  std::cout << "Blocks read         = " << fBlocksRead << std::endl;
  std::cout << "ADC group first     = " << fAdcFirstGroup << std::endl;
  std::cout << "TDC group first     = " << fTdcFirstGroup << std::endl;
  std::cout << "EPICS group first   = " << fEpicsFirstGroup << std::endl;
  std::cout << "Scaler group first  = " << fScalerFirstGroup << std::endl;
  if (!fDebug) return;
  PrintGroupSet("ADC groups:", adcGroups);
  PrintGroupSet("TDC groups:", tdcGroups);
  PrintGroupSet("Scaler groups:", scalerGroups);
  PrintGroupSet("EPICS groups:", epicsGroups);
}

void TTudaData::PrintStatus(int seconds) const
{
  const uint64_t bytes = uint64_t(fBlocksRead) * fBlockSize;
  const float megabytes = static_cast<float>(bytes) / static_cast<float>(kBytesPerMegabyte);
  std::cout << "PrintStatus: Sifted " << megabytes << " MB data in " << seconds << " seconds" << std::endl;
}

// Stops at the end-of-block marker, or, with an error line, where the block's words run out.
void TTudaData::DumpEvents() const
{
  if (!fCursor) {
    Errors() << "DumpEvents: ERROR - no block loaded, nothing to dump" << std::endl;
    return;
  }
  uint32_t events = 0;
  const uint16_t* position = fCursor;
  while (position && !AtMarker(*this, position)) {
    position = DumpToken(*this, position, events);
  }
  std::cout << "DumpEvents: Call write event" << std::endl;
  std::cout << "DumpEvents: End of block " << fBlocksRead << std::endl;
}
