// The reader's blocks, block headers and token walk.
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
  GroupKind kinds[kGroupNumbers];
};

constexpr GroupKindTable MakeGroupKindTable()
{
  GroupKindTable table{};
  for (unsigned group = 0; group <= kGroupMask; ++group) table.kinds[group] = KindOfGroup(group);
  return table;
}

constexpr GroupKindTable kGroupKinds = MakeGroupKindTable();

// The channel number of an item: `groupInKind` counts the group from the first of its kind.
unsigned short ChannelNumber(unsigned groupInKind, uint32_t channelsPerGroup, unsigned channelInGroup)
{
  return static_cast<unsigned short>(groupInKind * channelsPerGroup + channelInGroup);
}

// The two common items, appended by the fast walk and the checked one alike. Each is built where
// it stays, at the end of its list: a fresh item set up aside and then copied in costs two more
// stores per item, the walk's commonest work.
void AppendAdcItem(TTudaEvent& event, unsigned groupInKind, unsigned channelInGroup, uint16_t data)
{
  TTudaEvent::AdcItem& adc = event.adcItems.emplace_back();
  adc.SetChannel(ChannelNumber(groupInKind, adcChannels, channelInGroup));
  adc.SetValue(data & kAdcValueMask);
}

void AppendTdcItem(TTudaEvent& event, unsigned groupInKind, unsigned channelInGroup, uint16_t data)
{
  TTudaEvent::TdcItem& tdc = event.tdcItems.emplace_back();
  tdc.SetChannel(ChannelNumber(groupInKind, tdcChannels, channelInGroup));
  tdc.SetValue(data);
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

// Counts the words in the block's account and tells the reporter, or writes the reader's line.
void Drop(const TTudaData& reader, TTudaCause cause, uint32_t word, uint32_t words, uint16_t group = 0)
{
  const TTudaDrop drop{cause, word, words, group};
  reader.fBlockAccount.droppedWords[static_cast<size_t>(cause)] += words;
  if (reader.fReporter) {
    reader.fReporter->Dropped(drop, reader);
  } else {
    TTudaReporter::WriteReaderLine(drop, reader);
  }
}

// The 32-bit kinds are rare; kept apart so that the common items stay in the token walk.
void AppendWideItem(const TTudaData& reader, GroupKind kind, unsigned group, unsigned channel,
                    const uint16_t* data)
{
  if (kind == GroupKind::kEpics) {
    TTudaEvent::EpicsItem epics;
    epics.SetChannel(ChannelNumber(group - reader.fEpicsFirstGroup, epicsChannels, channel) / 2);
    epics.SetValue(static_cast<float>(WideValue(data)));
    reader.fEvent->AddEpicsItem(epics);
  } else {
    TTudaEvent::ScalerItem scaler;
    scaler.SetChannel(ChannelNumber(group - reader.fScalerFirstGroup, scalerChannels, channel) / 2);
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
  const unsigned words = SimpleItemWords(kind);
  switch (kind) {
    case GroupKind::kAdc:
      AppendAdcItem(*reader.fEvent, group - reader.fAdcFirstGroup, channel, item.data[0]);
      break;
    case GroupKind::kTdc:
      AppendTdcItem(*reader.fEvent, group - reader.fTdcFirstGroup, channel, item.data[0]);
      break;
    case GroupKind::kEpics:
    case GroupKind::kScaler:
      AppendWideItem(reader, kind, group, channel, item.data);
      break;
    case GroupKind::kBeyondSets:
      Drop(reader, TTudaCause::kBeyondSets, reader.CursorWord(), words, static_cast<uint16_t>(group));
      break;
    case GroupKind::kUnknown:
      Drop(reader, TTudaCause::kUnknownGroup, reader.CursorWord(), words, static_cast<uint16_t>(group));
      break;
  }
  return words;
}

// Decodes the token at the cursor and moves past it. Every token is checked once against the
// words left in the block, so no token, however damaged its block, makes the walk read past the
// buffer; one that would is not decoded.
Token DecodeToken(TTudaData& reader)
{
  const uint16_t word = *reader.fCursor;
  if (!DecodedTokenFits(word, WordsLeft(reader, reader.fCursor))) return Token::kPastEnd;
  switch (TokenKindOf(word)) {
    case TokenKind::kSimpleItem:
      reader.fCursor += AppendSimpleItem(reader, SimpleItemAt(reader.fCursor));
      return Token::kItem;
    case TokenKind::kGroupItem: {
      TGroupItem item = GroupItemAt(reader.fCursor);
      reader.fCursor += reader.FormatData(&item);
      return Token::kItem;
    }
    case TokenKind::kExtendedGroupItem:
      Drop(reader, TTudaCause::kExtendedGroupItem, reader.CursorWord(), kExtendedGroupItemWords);
      reader.fCursor += kExtendedGroupItemWords;
      return Token::kItem;
    default:
      reader.fCursor += kEventStartWords;
      return Token::kEventStart;
  }
}

// Whether the data length, the end-of-block marker or the end of the buffer ends the block at
// the cursor, and which.
bool BlockUsedUp(const TTudaData& reader, TTudaBlockEnd& end)
{
  const uint16_t* cursor = reader.fCursor;
  if (AtMarker(reader, cursor)) {
    end = TTudaBlockEnd::kMarker;
  } else if (WordOffset(reader, cursor) >= reader.DataLengthWords()) {
    end = TTudaBlockEnd::kDataLength;
  } else if (WordsLeft(reader, cursor) == 0) {
    end = TTudaBlockEnd::kBlockEnd;
  } else {
    return false;
  }
  return true;
}

// ---- Block accounts ----------------------------------------------------------------------------

// Drops the words from `stop`, where the data length ended the walk, to the marker, stepped over
// by the decoder's rule, or to the block's end; zero words only are padding. The marker's word, or
// the block's end.
uint32_t DropAfterDataLength(const TTudaData& reader, uint32_t stop)
{
  const uint16_t* const end = reader.fBuffer + reader.fIntsInBlock;
  const uint16_t* const from = reader.fBuffer + stop;
  const uint16_t* word = StepToMarker(from, end);
  if (!AtEndOfBlockMarker(word, end)) word = end;
  if (word > from) {
    const bool padding = std::all_of(from, word, [](uint16_t w) { return w == 0; });
    Drop(reader, padding ? TTudaCause::kPaddingAfterDataLength : TTudaCause::kAfterDataLength, stop,
         static_cast<uint32_t>(word - from));
  }
  return WordOffset(reader, word);
}

// The tokens from the first data word up to `stop`, stepped over as the walk did.
void CountTokens(const uint16_t* word, const uint16_t* stop, TTudaBlockAccount& account)
{
  for (; word < stop; word += DecodedTokenWords(*word)) account.Count(*word);
}

// Completes the account of the block the walk left at word `stop` and hands it to the reporter.
void ReportBlock(const TTudaData& reader, TTudaBlockEnd end, uint32_t stop)
{
  TTudaBlockAccount& account = reader.fBlockAccount;
  uint32_t marker = end == TTudaBlockEnd::kMarker ? stop : reader.fIntsInBlock;
  if (end == TTudaBlockEnd::kDataLength) marker = DropAfterDataLength(reader, stop);
  account.block = reader.fBlocksRead;
  account.swapped = reader.fBuffer[kDataOrderWord] == kSwappedDataOrder;
  account.end = end;
  account.markerFound = marker < reader.fIntsInBlock;
  account.headerWords = kHeaderWords;
  account.markerWords = account.markerFound ? kEndOfBlockWords : 0;
  account.fillWords = account.markerFound ? reader.fIntsInBlock - marker - kEndOfBlockWords : 0;
  uint32_t dropped = 0;
  for (uint32_t words : account.droppedWords) dropped += words;
  account.decodedWords =
      reader.fIntsInBlock - account.headerWords - dropped - account.markerWords - account.fillWords;
  if (reader.fReporter->CountsTokens()) {
    CountTokens(reader.fBuffer + kHeaderWords, reader.fBuffer + stop, account);
  }
  reader.fReporter->BlockEnded(account);
}

// The walk has used up the block at the cursor: drops what ended it badly, and, for a reporter,
// accounts for the block.
void EndBlock(const TTudaData& reader, TTudaBlockEnd end)
{
  const uint32_t stop = WordOffset(reader, reader.fCursor);
  if (end == TTudaBlockEnd::kTokenPastBlockEnd) {
    Drop(reader, TTudaCause::kTokenPastBlockEnd, stop, reader.fIntsInBlock - stop);
  } else if (end == TTudaBlockEnd::kBlockEnd) {
    Drop(reader, TTudaCause::kNoEndOfBlockMarker, stop, 0);
  }
  if (reader.fReporter) ReportBlock(reader, end, stop);
}

// ---- The walk over a block ----------------------------------------------------------------

// After the token that left the cursor where it is: whether the data length, the marker or the
// end of the buffer ends the block, and if so, ends it.
Token FinishToken(TTudaData& reader, Token token)
{
  TTudaBlockEnd end = TTudaBlockEnd::kTokenPastBlockEnd;
  reader.fNeedBlock = token == Token::kPastEnd || BlockUsedUp(reader, end);
  if (reader.fNeedBlock) EndBlock(reader, end);
  return token;
}

// Where the walk needs no bounds check: every token starting before it lies wholly in the
// block, the word after it too, and the data length does not end the block before it.
const uint16_t* FastWalkEnd(const TTudaData& reader)
{
  const uint64_t lengthEnd = reader.DataLengthWords();
  const uint32_t fitEnd = reader.fIntsInBlock - (kLongestTokenWords - 1);
  return reader.fBuffer + (lengthEnd < fitEnd ? static_cast<uint32_t>(lengthEnd) : fitEnd);
}

// Tokens other than ADC and TDC items and event starts, all out of line.
[[gnu::noinline]] uint16_t* DecodeRareToken(TTudaData& reader, uint16_t* cursor)
{
  reader.fCursor = cursor;
  DecodeToken(reader);
  return reader.fCursor;
}

// Decodes tokens from the cursor up to and including the next event-start token, or until the
// block is used up or comes near its end; then what the last token was. The common tokens are
// decoded here with the cursor in a register, and after each only the marker is tested: until
// FastWalkEnd, neither the data length nor the buffer's end can end the block. Tokens near the
// end take the checked path of DecodeToken, one at a time.
Token WalkBlock(TTudaData& reader)
{
  const uint16_t* const fastEnd = FastWalkEnd(reader);
  uint16_t* cursor = reader.fCursor;
  if (cursor >= fastEnd) return FinishToken(reader, DecodeToken(reader));
  TTudaEvent& event = *reader.fEvent;
  const unsigned adcFirst = reader.fAdcFirstGroup;
  const unsigned tdcFirst = reader.fTdcFirstGroup;
  for (;;) {
    const uint16_t word = *cursor;
    const unsigned group = word & kGroupMask;
    const unsigned channel = (word >> kChannelShift) & kChannelMask;
    Token token = Token::kItem;
    switch (TokenKindOf(word)) {
      case TokenKind::kEventStart:
        cursor += kEventStartWords;
        token = Token::kEventStart;
        break;
      case TokenKind::kSimpleItem:
        switch (kGroupKinds.kinds[group]) {
          case GroupKind::kAdc:
            AppendAdcItem(event, group - adcFirst, channel, cursor[1]);
            cursor += SimpleItemWords(GroupKind::kAdc);
            break;
          case GroupKind::kTdc:
            AppendTdcItem(event, group - tdcFirst, channel, cursor[1]);
            cursor += SimpleItemWords(GroupKind::kTdc);
            break;
          default:
            cursor = DecodeRareToken(reader, cursor);
        }
        break;
      default:
        cursor = DecodeRareToken(reader, cursor);
    }
    if (cursor >= fastEnd || AtEndOfBlockMarker(cursor, cursor + kEndOfBlockWords)) {
      reader.fCursor = cursor;
      return FinishToken(reader, token);
    }
    if (token == Token::kEventStart) {
      reader.fCursor = cursor;
      return token;
    }
  }
}

// Reads and decodes the header of the next block; at the end of the data, tells the reporter.
bool LoadBlock(TTudaData& reader)
{
  if (!reader.GetDataBlock()) {
    if (reader.fReporter) reader.fReporter->EndOfData(*reader.fEvent);
    return false;
  }
  reader.DecodeHeader();
  reader.fBlockAccount = TTudaBlockAccount();
  reader.fNeedBlock = false;
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

void TTudaData::SetReporter(TTudaReporter* reporter)
{
  fReporter = reporter;
  fSource.SetErrors(Errors());
}

std::ostream& TTudaData::Output() const
{
  return fReporter ? fReporter->Output() : std::cout;
}

std::ostream& TTudaData::Errors() const
{
  return fReporter ? fReporter->Errors() : std::cerr;
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
    Errors() << "OpenDataFile: ERROR - " << fSource.OpenError() << std::endl;
    return;
  }
  Output() << "OpenDataFile: Opened data file " << name << std::endl;
}

void TTudaData::CloseDataFile()
{
  fSource.Close();
  fFile.close();
}

// The byte source keeps the file's first bytes, read to tell its codec, for its first read: they
// are taken first, then the stream is moved on.
bool TTudaData::SeekBlock(uint64_t block)
{
  if (block == 0) return true;
  if (fSource.Codec() != TCodec::kNone) return false;
  char kept[kCodecMagicBytes];
  fSource.Read(kept, sizeof kept);
  fFile.clear();
  fFile.seekg(static_cast<std::streamoff>(block * TEGBlockSize));
  return static_cast<bool>(fFile);
}

bool TTudaData::GetDataBlock()
{
  if (!fSource.Read(reinterpret_cast<char*>(fBuffer), fCharsInBlock)) {
    // A short last read is the file's trailing piece, unless the owner cancelled the read; once
    // it has failed, a read gets nothing.
    if (fReporter && fSource.LastCount() > 0 && !fSource.Cancelled()) fReporter->TrailingPiece(fSource.LastCount());
    return false;
  }
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
    if (fNeedBlock && !LoadBlock(*this)) return nullptr;
    if (WalkBlock(*this) == Token::kEventStart) return fEvent;
  }
}

unsigned int TTudaData::FormatData(TSimpleItem* item) const
{
  return AppendSimpleItem(*this, *item);
}

unsigned int TTudaData::FormatData(TGroupItem*) const
{
  Drop(*this, TTudaCause::kGroupItem, CursorWord(), kGroupItemWords);
  return kGroupItemWords;
}
