#include "tools/DumpCommand.h"

#include "reader/TTudaData.h"
#include "tools/Options.h"

namespace {

const std::vector<OptionRule> kDumpOptions{{"--block", true}, {"--blocks", true}};

// Blocks are counted from 1, as the reader's "End of block" line counts them.
int DumpBlocks(TTudaData& reader, const std::string& file, uint64_t first, uint64_t count)
{
  for (uint64_t block = 1; block < first + count; ++block) {
    if (!reader.GetDataBlock()) {
      return DataError("dump", file + " holds only " + Counted(block - 1, "whole block"));
    }
    if (block < first) continue;
    reader.DecodeHeader();
    reader.DumpEvents();
  }
  return kExitOk;
}

int RunDump(const std::vector<std::string>& args)
{
  ParsedArgs parsed;
  uint64_t first = 0;
  uint64_t count = 0;
  std::string error;
  if (!ParseArgs(args, kDumpOptions, parsed, error) || !CountOption(parsed, "--block", 1, 1, first, error) ||
      !CountOption(parsed, "--blocks", 1, 1, count, error)) {
    return UsageError("dump", error);
  }
  if (parsed.positional.size() != 1) return UsageError("dump", "give exactly one data file");

  TTudaData reader;
  reader.OpenDataFile(parsed.positional[0].c_str());
  if (!reader.fFile.is_open()) return kExitDataError;
  return DumpBlocks(reader, parsed.positional[0], first, count);
}

}  // namespace

const Command kDumpCommand{"dump", "List the words of blocks",
                           R"(Usage: tuda dump FILE [--block N] [--blocks K]

Lists the event words of blocks as the reader's DumpEvents writes them: one
line per item, the event-start tokens, and the end of each block.

  --block N    the first block to list, counting from 1 (default 1)
  --blocks K   how many blocks to list (default 1)

Exit status: 0 when every chosen block was listed, 1 when the file does not
open or ends before a chosen block, 2 on a usage error.
)",
                           RunDump};
