#include "reader/TTudaData.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <utility>

// Blocks are read straight into 16-bit words; a block in the other byte order is swapped by hand.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the reader runs on little-endian hosts");

namespace {

// The kind of every group number, worked out once from the group sets: one look-up per item.
struct GroupKindTable {
  GroupKind kinds[kGroupMask + 1];
};

constexpr GroupKindTable MakeGroupKindTable()
{
  GroupKindTable table{};
  for (unsigned group = 0; group <= kGroupMask; ++group) table.kinds[group] = KindOfGroup(group);
  return table;
}

constexpr GroupKindTable kGroupKinds = MakeGroupKindTable();

unsigned short ChannelNumber(unsigned group, uint16_t firstGroup, uint32_t channelsPerGroup,
                             unsigned channelInGroup)
{
  return static_cast<unsigned short>((group - firstGroup) * channelsPerGroup + channelInGroup);
}

uint32_t WideValue(const uint16_t* data)
{
  return (uint32_t(data[kWideHighHalf]) << 16) | data[0];
}

uint16_t SwapBytes(uint16_t word)
{
  return static_cast<uint16_t>((word >> 8) | (word << 8));
}

uint32_t SwapBytes(uint32_t value)
{
  return (uint32_t(SwapBytes(uint16_t(value))) << 16) | SwapBytes(uint16_t(value >> 16));
}

TSimpleItem SimpleItemAt(const uint16_t* position)
{
  TSimpleItem item;
  item.bits = position[0] >> kTokenKindShift;
  item.addr = position[0] & kAddressMask;
  item.data = position + 1;
  return item;
}

TGroupItem GroupItemAt(const uint16_t* position)
{
  TGroupItem item;
  item.bits = position[0] >> kTokenKindShift;
  item.count = (position[0] >> kGroupCountShift) & kGroupCountMask;
  item.group = position[0] & kGroupMask;
  item.data = position + 1;
  return item;
}

// The words a token takes in the dump: a group item's data words count.
size_t DumpedWords(uint16_t word)
{
  switch (word >> kTokenKindShift) {
    case kSimpleItemKind:
      return kSimpleItemWords;
    case kGroupItemKind:
      return kGroupItemWords + ((word >> kGroupCountShift) & kGroupCountMask);
    case kExtendedGroupItemKind:
      return kExtendedGroupItemWords;
    default:
      return kEventStartWords;
  }
}

std::unique_ptr<uint16_t[]> CopyOfBlock(const uint16_t* source, uint32_t words)
{
  // Zeroed, so that a block never loaded is still defined when copied.
  std::unique_ptr<uint16_t[]> block(new uint16_t[words]());
  if (source) std::copy(source, source + words, block.get());
  return block;
}

// Gives the reader its own copies of a block (zeroed without one) and of an event, and frees the
// ones it held. Both copies are made before either is handed over, so a failed allocation leaves
// the reader as it was.
void TakeCopies(TTudaData& reader, const uint16_t* block, const TTudaEvent& event)
{
  std::unique_ptr<TTudaEvent> newEvent = std::make_unique<TTudaEvent>(event);
  std::unique_ptr<uint16_t[]> newBlock = CopyOfBlock(block, reader.fIntsInBlock);
  delete std::exchange(reader.fEvent, newEvent.release());
  delete[] std::exchange(reader.fBuffer, newBlock.release());
}

void SetFirstGroup(uint64_t groups, uint16_t& firstGroup)
{
  for (unsigned bit = 0; bit < kLastGroupInSets; ++bit) {
    if ((groups >> bit) & 1) {
      firstGroup = static_cast<uint16_t>(bit + 1);
      return;
    }
  }
}

void PrintGroupSet(const char* heading, uint64_t groups)
{
  std::cout << heading << std::endl;
  for (unsigned bit = 0; bit < kLastGroupInSets; ++bit) {
    if ((groups >> bit) & 1) std::cout << bit + 1 << " ";
  }
  std::cout << std::endl;
}

void ReportTokenPastEnd(const char* operation, size_t word, const char* consequence)
{
  std::cerr << operation << ": ERROR - token at word " << std::dec << word
            << " runs past the end of the block, " << consequence << std::endl;
}

void ReportNoEndMarker(const char* operation, size_t word, const char* consequence)
{
  std::cerr << operation << ": ERROR - no end-of-block marker before the end of the block at word "
            << std::dec << word << ", " << consequence << std::endl;
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

// ---- The token walk ----------------------------------------------------------------------------

// What decoding one token did.
enum class Token { kItem, kEventStart, kPastEnd };

size_t WordOffset(const TTudaData& reader, const uint16_t* position)
{
  return position - reader.fBuffer;
}

size_t WordsLeft(const TTudaData& reader, const uint16_t* position)
{
  return reader.fIntsInBlock - WordOffset(reader, position);
}

bool AtMarker(const TTudaData& reader, const uint16_t* position)
{
  return AtEndOfBlockMarker(position, reader.fBuffer + reader.fIntsInBlock);
}

void ReportUnknownGroup(const TTudaData& reader, unsigned group)
{
  std::cerr << "FormatData: ERROR - Unknown data group " << std::dec << group
            << ", skipping simple data-item, at " << WordOffset(reader, reader.fCursor) << ", "
            << reader.fHeader.fDataLength / 2 << std::endl;
}

// The 32-bit kinds are rare; kept apart so that the common items stay in the token walk.
void AppendWideItem(const TTudaData& reader, GroupKind kind, unsigned group, unsigned channel,
                    const uint16_t* data)
{
  if (kind == GroupKind::kEpics) {
    TTudaEvent::EpicsItem epics;
    epics.SetChannel(ChannelNumber(group, reader.fEpicsFirstGroup, epicsChannels, channel) / 2);
    epics.SetValue(static_cast<float>(WideValue(data)));
    reader.fEvent->AddEpicsItem(epics);
  } else {
    TTudaEvent::ScalerItem scaler;
    scaler.SetChannel(ChannelNumber(group, reader.fScalerFirstGroup, scalerChannels, channel) / 2);
    scaler.SetValue(WideValue(data));
    reader.fEvent->AddScalerItem(scaler);
  }
}

// Appends the item a simple item describes to the reader's event; the words the item takes.
unsigned AppendSimpleItem(const TTudaData& reader, const TSimpleItem& item)
{
  const unsigned group = item.addr & kGroupMask;
  const unsigned channel = (item.addr >> kChannelShift) & kChannelMask;
  const GroupKind kind = kGroupKinds.kinds[group];
  switch (kind) {
    case GroupKind::kAdc: {
      TTudaEvent::AdcItem adc;
      adc.SetChannel(ChannelNumber(group, reader.fAdcFirstGroup, adcChannels, channel));
      adc.SetValue(item.data[0] & kAdcValueMask);
      reader.fEvent->AddAdcItem(adc);
      break;
    }
    case GroupKind::kTdc: {
      TTudaEvent::TdcItem tdc;
      tdc.SetChannel(ChannelNumber(group, reader.fTdcFirstGroup, tdcChannels, channel));
      tdc.SetValue(item.data[0]);
      reader.fEvent->AddTdcItem(tdc);
      break;
    }
    case GroupKind::kEpics:
    case GroupKind::kScaler:
      AppendWideItem(reader, kind, group, channel, item.data);
      break;
    case GroupKind::kBeyondSets:
      break;
    case GroupKind::kUnknown:
      ReportUnknownGroup(reader, group);
      break;
  }
  return SimpleItemWords(kind);
}

// Decodes the token at the cursor and moves past it. Every token is checked once against the
// words left in the block, so no token, however damaged its block, makes the walk read past the
// buffer; one that would is not decoded.
Token DecodeToken(TTudaData& reader)
{
  const uint16_t word = *reader.fCursor;
  const size_t left = WordsLeft(reader, reader.fCursor);
  switch (word >> kTokenKindShift) {
    case kSimpleItemKind: {
      TSimpleItem item = SimpleItemAt(reader.fCursor);
      // Four words hold any simple item; only near the end of the block does its group matter.
      if (left < kWideItemWords && left < SimpleItemWords(kGroupKinds.kinds[item.addr & kGroupMask])) {
        break;
      }
      reader.fCursor += AppendSimpleItem(reader, item);
      return Token::kItem;
    }
    case kGroupItemKind: {
      if (left < kGroupItemWords) break;
      TGroupItem item = GroupItemAt(reader.fCursor);
      reader.fCursor += reader.FormatData(&item);
      return Token::kItem;
    }
    case kExtendedGroupItemKind:
      std::cout << "DecodeEvents: EGI data is currently unsupported" << std::endl;
      reader.fCursor += kExtendedGroupItemWords;
      return Token::kItem;
    default:
      if (left < kEventStartWords) break;
      reader.fCursor += kEventStartWords;
      return Token::kEventStart;
  }
  ReportTokenPastEnd("DecodeEvents", WordOffset(reader, reader.fCursor), "skipping the rest of the block");
  return Token::kPastEnd;
}

// The data length, the end-of-block marker or the end of the buffer ends a block; only the last
// is an error.
bool BlockUsedUp(const TTudaData& reader)
{
  const uint16_t* cursor = reader.fCursor;
  if (WordOffset(reader, cursor) >= reader.fHeader.fDataLength / 2 || AtMarker(reader, cursor))
    return true;
  if (WordsLeft(reader, cursor) > 0) return false;
  ReportNoEndMarker("DecodeEvents", WordOffset(reader, cursor), "going on with the next block");
  return true;
}

// Lists the token at `position`; the position after it, or null when the dump must stop.
const uint16_t* DumpToken(const TTudaData& reader, const uint16_t* position, uint32_t& events)
{
  const size_t left = WordsLeft(reader, position);
  if (left == 0) {
    ReportNoEndMarker("DumpEvents", WordOffset(reader, position), "ending the dump");
    return nullptr;
  }
  const size_t words = DumpedWords(*position);
  if (left < words) {
    ReportTokenPastEnd("DumpEvents", WordOffset(reader, position), "ending the dump");
    return nullptr;
  }
  switch (*position >> kTokenKindShift) {
    case kSimpleItemKind:
      DumpSimpleItem(position);
      break;
    case kGroupItemKind:
      DumpGroupItem(position);
      break;
    case kExtendedGroupItemKind:
      std::cout << "DumpEvents: EGI data is currently unsupported" << std::endl;
      break;
    default:
      DumpEventStart(position, events++);
      break;
  }
  return position + words;
}

}  // namespace

// ---- Construction, copying, files and blocks ---------------------------------------------------

TTudaData::TTudaData()
    : fBlockSize(TEGBlockSize),
      fCharsInBlock(fBlockSize),
      fIntsInBlock(fBlockSize / 2),
      fBuffer(nullptr),
      fNeedBlock(true),
      fDebug(false),
      fBlocksRead(0),
      fAdcFirstGroup(0),
      fTdcFirstGroup(0),
      fEpicsFirstGroup(0),
      fScalerFirstGroup(0),
      fEvent(nullptr)
{
  TakeCopies(*this, nullptr, TTudaEvent());
  SetGroups();
}

// The copy opens no file and reads a fresh block before it decodes, so header and cursor stay
// behind.
TTudaData::TTudaData(const TTudaData& other)
    : fBlockSize(TEGBlockSize),
      fCharsInBlock(fBlockSize),
      fIntsInBlock(fBlockSize / 2),
      fBuffer(nullptr),
      fNeedBlock(true),
      fDebug(other.fDebug),
      fBlocksRead(other.fBlocksRead),
      fAdcFirstGroup(other.fAdcFirstGroup),
      fTdcFirstGroup(other.fTdcFirstGroup),
      fEpicsFirstGroup(other.fEpicsFirstGroup),
      fScalerFirstGroup(other.fScalerFirstGroup),
      fEvent(nullptr)
{
  TakeCopies(*this, other.fBuffer, *other.fEvent);
  SetGroups();
}

TTudaData& TTudaData::operator=(const TTudaData& other)
{
  if (&other == this) return *this;
  TakeCopies(*this, other.fBuffer, *other.fEvent);
  fDebug = other.fDebug;
  fBlocksRead = other.fBlocksRead;
  // The cursor pointed into the released buffer: like a copy, start again with a fresh block.
  fNeedBlock = true;
  fCursor = nullptr;
  fAdcFirstGroup = other.fAdcFirstGroup;
  fTdcFirstGroup = other.fTdcFirstGroup;
  fEpicsFirstGroup = other.fEpicsFirstGroup;
  fScalerFirstGroup = other.fScalerFirstGroup;
  SetGroups();
  return *this;
}

TTudaData::~TTudaData()
{
  delete fEvent;
  delete[] fBuffer;
}

void TTudaData::SetDebug(int level)
{
  fDebug = level != 0;
}

void TTudaData::SetGroups()
{
  SetFirstGroup(adcGroups, fAdcFirstGroup);
  SetFirstGroup(tdcGroups, fTdcFirstGroup);
  SetFirstGroup(epicsGroups, fEpicsFirstGroup);
  SetFirstGroup(scalerGroups, fScalerFirstGroup);
}

// A successful open clears the end-of-file and failure state the last file left, and reads from
// byte 0; the stream is not sought there, because a seek fails on named pipes and character
// devices, which stay readable.
void TTudaData::OpenDataFile(const char* name)
{
  CloseDataFile();
  if (!fSource.Open(fFile, name)) {
    std::cerr << "OpenDataFile: ERROR - " << fSource.OpenError() << std::endl;
    return;
  }
  std::cout << "OpenDataFile: Opened data file " << name << std::endl;
}

void TTudaData::CloseDataFile()
{
  fSource.Close();
  fFile.close();
}

bool TTudaData::GetDataBlock()
{
  if (!fSource.Read(reinterpret_cast<char*>(fBuffer), fCharsInBlock)) return false;
  ++fBlocksRead;
  return true;
}

void TTudaData::DecodeHeader()
{
  uint16_t* const words = fBuffer;
  const char* const bytes = reinterpret_cast<const char*>(words);
  const size_t idLength = std::find(bytes, bytes + kIdBytes, '\0') - bytes;
  std::fill(std::copy(bytes, bytes + idLength, fHeader.fId), fHeader.fId + kIdBytes, '\0');
  fHeader.fSerial = (uint64_t(words[kSerialHighWord]) << 16) | words[kSerialLowWord];
  fHeader.fAux1 = words[kAux1Word];
  fHeader.fAux2 = words[kAux2Word];
  fHeader.fAux3 = words[kAux3Word];
  fHeader.fDataOrder = words[kDataOrderWord];
  std::memcpy(&fHeader.fDataLength, bytes + kDataLengthByte, sizeof fHeader.fDataLength);
  fCursor = words + kHeaderWords;
  if (fHeader.fDataOrder != kSwappedDataOrder) return;

  fHeader.fSerial = (uint64_t(SwapBytes(words[kSerialHighWord])) << 16) | SwapBytes(words[kSerialLowWord]);
  fHeader.fAux1 = SwapBytes(fHeader.fAux1);
  fHeader.fAux2 = SwapBytes(fHeader.fAux2);
  fHeader.fAux3 = SwapBytes(fHeader.fAux3);
  fHeader.fDataOrder = SwapBytes(fHeader.fDataOrder);
  fHeader.fDataLength = SwapBytes(uint32_t(fHeader.fDataLength));
  std::transform(fCursor, words + fIntsInBlock, fCursor, [](uint16_t w) { return SwapBytes(w); });
}

// ---- Event decoding ------------------------------------------------------------------------

TTudaEvent* TTudaData::GetNextEvent()
{
  for (;;) {
    if (fNeedBlock) {
      if (!GetDataBlock()) return nullptr;
      DecodeHeader();
    }
    const Token token = DecodeToken(*this);
    fNeedBlock = token == Token::kPastEnd || BlockUsedUp(*this);
    if (token == Token::kEventStart) return fEvent;
  }
}

unsigned int TTudaData::FormatData(TSimpleItem* item) const
{
  return AppendSimpleItem(*this, *item);
}

unsigned int TTudaData::FormatData(TGroupItem*) const
{
  std::cerr << "FormatData: ERROR - group data is unused at TUDA" << std::endl;
  return kGroupItemWords;
}

// ---- Diagnostics -------------------------------------------------------------------------------

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
    std::cerr << "DumpEvents: ERROR - no block loaded, nothing to dump" << std::endl;
    return;
  }
  uint32_t events = 0;
  const uint16_t* position = fCursor;
  while (position && !AtMarker(*this, position)) position = DumpToken(*this, position, events);
  std::cout << "DumpEvents: Call write event" << std::endl;
  std::cout << "DumpEvents: End of block " << fBlocksRead << std::endl;
}
