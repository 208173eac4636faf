#include "python/BlockRange.h"

#include <sstream>

#include "python/ReaderLines.h"
#include "reader/TTudaData.h"

namespace {

// The block the event-start token that ended the last GetNextEvent lies in.
uint64_t TokenBlock(const TTudaData& reader, uint64_t firstBlock) { return firstBlock + reader.BlocksRead() - 1; }

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
  reader.Source().SetCancel(&look.Cancel());
  range.window.Install(reader);
  reader.OpenDataFile(range.file.c_str());
  reader.Source().SetErrors(damageLine);
  problem = CheckOpened(reader, range.file, range.force);
  if (problem) return arrays;
  if (!reader.SeekBlock(range.firstBlock)) {
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
