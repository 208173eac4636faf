#pragma once

#include <cstdint>
#include <fstream>

#include "reader/TByteSource.h"
#include "reader/TTudaEvent.h"
#include "reader/TTudaReporter.h"
#include "reader/TudaFormat.h"

// Data volumes are told in megabytes of 2 to the power 20 bytes.
static constexpr uint32_t kBytesPerMegabyte = 1048576;

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

// The records of the token at `position`, whose words must lie in the loaded block.
inline TSimpleItem SimpleItemAt(const uint16_t* position)
{
  TSimpleItem item;
  item.bits = static_cast<uint16_t>(TokenKindOf(position[0]));
  item.addr = position[0] & kAddressMask;
  item.data = position + 1;
  return item;
}

inline TGroupItem GroupItemAt(const uint16_t* position)
{
  TGroupItem item;
  item.bits = static_cast<uint16_t>(TokenKindOf(position[0]));
  item.count = (position[0] >> kGroupCountShift) & kGroupCountMask;
  item.group = position[0] & kGroupMask;
  item.data = position + 1;
  return item;
}

// ---- The reader --------------------------------------------------------------------------------

// Reads a data file block by block and decodes its tokens into one reusable TTudaEvent.
// The event returned by GetNextEvent belongs to the reader; the caller clears it after use.
// Members are public records that tests read; the node and the tools read them through the
// accessors. The reader owns the block buffer and the event that fBuffer and fEvent
// point at: copying and assigning a reader gives it copies of its own.
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
  // Tells `reporter` from now on what the reader drops; null: the reader writes its own lines.
  // The reporter must outlive its use. A copy starts without one; assignment keeps its own.
  void SetReporter(TTudaReporter* reporter);
  // Where the reader writes its lines: the reporter's streams, else standard output and error.
  std::ostream& Output() const;
  std::ostream& Errors() const;

  void OpenDataFile(const char* name);
  void CloseDataFile();
  // Moves a plain file, just opened, on to the start of block `block` (counting from 0), so that
  // the next GetDataBlock reads it. False for a compressed file, which cannot be sought, and when
  // the seek fails.
  bool SeekBlock(uint64_t block);
  bool GetDataBlock();
  void DecodeHeader();

  TTudaEvent* GetNextEvent();
  unsigned int FormatData(TSimpleItem* item) const;
  unsigned int FormatData(TGroupItem* item) const;

  // What tools read of the reader, named; the members below stay public for the programs that
  // read them directly.
  TByteSource& Source() { return fSource; }
  const TByteSource& Source() const { return fSource; }
  std::ifstream& File() { return fFile; }
  bool IsOpen() const { return fFile.is_open(); }
  // Blocks read so far, which is also the number of the loaded block, counting from 1.
  uint32_t BlocksRead() const { return fBlocksRead; }
  // The loaded block's words, kBlockWords of them, data swapped to this machine's order.
  const uint16_t* BlockWords() const { return fBuffer; }
  // The cursor's word in the block; 0 before any block.
  uint32_t CursorWord() const { return fCursor ? static_cast<uint32_t>(fCursor - fBuffer) : 0; }
  // The loaded block's data length, in words: where it ends the decoder's walk.
  uint64_t DataLengthWords() const { return fHeader.fDataLength / kBytesPerWord; }
  // The items appended since the last event-start token.
  TTudaEvent& HeldEvent() { return *fEvent; }

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
  TTudaReporter* fReporter = nullptr;
  // Where the loaded block's words went so far. Mutable because FormatData, const, counts what
  // it drops.
  mutable TTudaBlockAccount fBlockAccount;
  // Where fFile's blocks come from, decompressed when they are compressed; not copied. Declared
  // after fFile, so that a helper thread reading the file ends before the file closes.
  TByteSource fSource;
};

// ---- Positions in the loaded block -------------------------------------------------------------

// The word of the loaded block at `position`, which must lie in it or just past its end.
inline uint32_t WordOffset(const TTudaData& reader, const uint16_t* position)
{
  return static_cast<uint32_t>(position - reader.fBuffer);
}

inline size_t WordsLeft(const TTudaData& reader, const uint16_t* position)
{
  return reader.fIntsInBlock - WordOffset(reader, position);
}

inline bool AtMarker(const TTudaData& reader, const uint16_t* position)
{
  return AtEndOfBlockMarker(position, reader.fBuffer + reader.fIntsInBlock);
}
