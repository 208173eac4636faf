#include "tools/RunWarning.h"

#include <sys/stat.h>

#include <iostream>
#include <sstream>

#include "tools/FileCheck.h"
#include "tools/StreamRedirect.h"
#include "tools/Text.h"

namespace {

// Enough to see how blocks are framed and where their data lengths point, in a few milliseconds.
constexpr uint64_t kBlocksLookedAt = 4;

bool IsRegularFile(const std::string& file)
{
  struct stat status {};
  return stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

void WarnIfFileLooksWrong(const std::string& name, const std::string& file)
{
  if (!IsRegularFile(file)) return;
  FileEvidence evidence;
  std::string error;
  // The look's reader writes nothing: the node's reader writes its own lines, the damage line of a
  // compressed file included, when it reaches what they tell of; the warning names the fault.
  std::ostringstream aside;
  bool opened = false;
  {
    const StreamRedirect redirect(std::cerr, aside.rdbuf());
    opened = CheckFile(file, kBlocksLookedAt, evidence, error);
  }
  if (!opened || LooksRight(evidence)) return;
  std::cerr << "tuda " << name << ": " << file << ", first " << Counted(evidence.blocks, "block") << ": "
            << Verdict(evidence) << "; tuda check shows more" << std::endl;
}
