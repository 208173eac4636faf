#include "python/BlockRange.h"

#include <sstream>
#include <vector>

#include "python/ReaderLines.h"
#include "reader/TTudaData.h"

namespace {

// Moves a plain file's reader to the start of block `block`. The byte source keeps the file's
// first bytes, read to tell its codec, for its first read: they are taken first, then the stream
// is moved on.
bool SeekBlock(TTudaData& reader, uint64_t block)
{
  if (block == 0) return true;
  if (reader.fSource.Codec() != TCodec::kNone) return false;
  std::vector<char> kept(kCodecMagicBytes);
  reader.fSource.Read(kept.data(), kept.size());
  reader.fFile.clear();
  reader.fFile.seekg(static_cast<std::streamoff>(block * TEGBlockSize));
  return static_cast<bool>(reader.fFile);
}

// The block the event-start token that ended the last GetNextEvent lies in.
uint64_t TokenBlock(const TTudaData& reader, uint64_t firstBlock) { return firstBlock + reader.fBlocksRead - 1; }

}  // namespace

EventArrays ReadBlockRange(const BlockRange& range, ReadProblem& problem)
{
  EventArrays arrays(range.kinds);
  ReaderLines lines;
  InterruptLook look;
  GatheringReporter reporter(lines, look);
  std::ostringstream damageLine;
  TTudaData reader;
  reader.SetReporter(&reporter);
  reader.fSource.SetCancel(&look.Cancel());
  range.window.Install(reader);
  reader.OpenDataFile(range.file.c_str());
  reader.fSource.SetErrors(damageLine);
  problem = CheckOpened(reader, range.file, range.force);
  if (problem) return arrays;
  if (!SeekBlock(reader, range.firstBlock)) {
    problem = ReadProblem{ReadProblem::kNotOpened, range.file, "cannot move to block " + std::to_string(range.firstBlock)};
    return arrays;
  }
  const uint64_t endBlock = range.blocks > UINT64_MAX - range.firstBlock ? UINT64_MAX : range.firstBlock + range.blocks;
  bool owning = range.firstBlock == 0;
  uint64_t number = 0;
  while (TTudaEvent* event = reader.GetNextEvent()) {
    if (owning) arrays.Add(*event, number++);
    event->Clear(nullptr);
    owning = TokenBlock(reader, range.firstBlock) < endBlock;
    if (!owning) break;
  }
  look.ThrowIfRaised();
  problem = CheckDamage(reader, range.file, damageLine.str());
  return arrays;
}
