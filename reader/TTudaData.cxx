// The reader's blocks, block headers and token walk.
#include "reader/TTudaData.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <utility>

#include "reader/BlockEndMessages.h"

// Blocks are read straight into 16-bit words; a block in the other byte order is swapped by hand.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the reader runs on little-endian hosts");

namespace {

// The kind of every group number, worked out once from the group sets: one look-up per item.
struct GroupKindTable {
  GroupKind kinds[kGroupNumbers];
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

// A directory opens as a stream on Linux and then fails every read: it is no data file.
bool IsDirectory(const char* name)
{
  struct stat status;
  return stat(name, &status) == 0 && S_ISDIR(status.st_mode);
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
      if (left < kLongestTokenWords && left < SimpleItemWords(kGroupKinds.kinds[item.addr & kGroupMask])) {
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
  WriteTokenPastEnd("DecodeEvents", WordOffset(reader, reader.fCursor), "skipping the rest of the block");
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
  WriteNoEndMarker("DecodeEvents", WordOffset(reader, cursor), "going on with the next block");
  return true;
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
  if (fFile.is_open()) fFile.close();
  if (name && !IsDirectory(name)) fFile.open(name, std::ios::in | std::ios::binary);
  if (!fFile.is_open()) {
    std::cerr << "OpenDataFile: ERROR - Could not find file " << (name ? name : "") << std::endl;
    return;
  }
  std::cout << "OpenDataFile: Opened data file " << name << std::endl;
}

void TTudaData::CloseDataFile()
{
  fFile.close();
}

bool TTudaData::GetDataBlock()
{
  fFile.read(reinterpret_cast<char*>(fBuffer), fCharsInBlock);
  if (!fFile.good()) return false;
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
