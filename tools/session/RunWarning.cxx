#include "tools/session/RunWarning.h"

#include <iostream>

#include "filecheck/FileCheck.h"
#include "tools/console/Text.h"
#include "tools/input/InputName.h"

namespace {

// Enough to see how blocks are framed and where their data lengths point, in a few milliseconds.
constexpr uint64_t kBlocksLookedAt = 4;

}  // namespace

void WarnIfFileLooksWrong(const std::string& name, const std::string& file)
{
  uint64_t size = 0;
  if (!IsRegularFile(file, size)) return;
  FileEvidence evidence;
  std::string error;
  // The look writes nothing: the node's reader writes its own lines, the damage line of a
  // compressed file included, when it reaches what they tell of; the warning names the fault.
  if (!CheckFile(file, kBlocksLookedAt, evidence, error) || LooksRight(evidence)) return;
  std::cerr << "tuda " << name << ": " << file << ", first " << Counted(evidence.blocks, "block") << ": "
            << Verdict(evidence) << "; tuda check shows more" << std::endl;
}
