#include "python/FileSummaries.h"

#include <atomic>
#include <sstream>

#include "filecheck/FileCheck.h"
#include "python/Interruption.h"
#include "reader/TCodec.h"
#include "tools/input/FirstBlockCheck.h"
#include "tools/input/GatheredLines.h"
#include "tools/stat/StatJson.h"
#include "tools/stat/StatTally.h"

namespace {

// How the byte source's lines on damage, and on a zstd window it was not allowed, begin.
constexpr const char* kDamageLineStart = "GetDataBlock: ERROR - ";

// The damage line among a reader's gathered lines, if any.
std::string DamageLine(const GatheredLines& lines)
{
  std::ostringstream output;
  std::ostringstream errors;
  lines.WriteTo(output, errors);
  std::istringstream text(errors.str());
  std::string line;
  std::string damage;
  while (std::getline(text, line)) {
    if (line.rfind(kDamageLineStart, 0) == 0) damage = line;
  }
  return damage;
}

}  // namespace

std::string StatJson(const std::string& file, bool force, const ZstdWindowOption& window, ReadProblem& problem)
{
  problem = CheckBeforeReading(file, force);
  if (problem) return std::string();
  GatheredLines lines;
  FirstBlockCheck firstBlock("stat");
  firstBlock.SetForce(force);
  const FollowOptions notFollowing("stat");
  std::atomic<uint64_t> bytesRead{0};
  InterruptLook look;
  const auto afterBlock = [&look] { look.AfterBlock(); };
  FileResult result{file, TallyFile(file, lines, look.Cancel(), bytesRead, firstBlock, window, notFollowing, afterBlock), {}, {}, {}};
  look.ThrowIfRaised();
  if (!result.tally.opened) {
    problem = ReadProblem{ReadProblem::kNoDataBlock, file, file + " does not start with a data block; use force=True to decode it anyway"};
    return std::string();
  }
  result.delivered = result.tally.delivered;
  result.held = result.tally.held;
  if (result.tally.damaged) problem = Damage(file, DamageLine(lines));
  return FileObject(result).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

CheckResult CheckOne(const std::string& file, bool allBlocks, const ZstdWindowOption& window, ReadProblem& problem)
{
  CheckResult result;
  FileEvidence evidence;
  // Outlive the reader, which holds them.
  std::ostringstream damageLine;
  InterruptLook look;
  TTudaData reader;
  reader.Source().SetErrors(damageLine);
  reader.Source().SetCancel(&look.Cancel());
  window.Install(reader);
  std::string error;
  const auto afterBlock = [&look] {
    look.AfterBlock();
    return !look.Raised();
  };
  const bool opened = CheckFile(reader, file, allBlocks ? 0 : kCheckedBlocks, evidence, error, afterBlock);
  look.ThrowIfRaised();
  if (!opened) {
    problem = CheckBeforeReading(file, true);
    if (!problem) problem = ReadProblem{ReadProblem::kNotOpened, file, error};
    return result;
  }
  result.looksRight = LooksRight(evidence);
  result.verdict = Verdict(evidence);
  result.evidence = EvidenceLines(evidence);
  result.codec = evidence.codec == TCodec::kNone ? "none" : CodecName(evidence.codec);
  result.damaged = evidence.damaged;
  result.readToEnd = evidence.readToEnd;
  result.blocks = evidence.blocks;
  return result;
}
