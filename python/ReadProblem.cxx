#include "python/ReadProblem.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "filecheck/FileCheck.h"
#include "tools/input/InputName.h"

namespace {

constexpr const char* kForceAdvice = "; use force=True to decode it anyway";
// The reader's lines name the operation and the kind of line first; an exception says only what.
constexpr const char* kLinePrefixEnd = "ERROR - ";

std::string WithoutLinePrefix(const std::string& line)
{
  const size_t at = line.find(kLinePrefixEnd);
  std::string text = at == std::string::npos ? line : line.substr(at + std::strlen(kLinePrefixEnd));
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

ReadProblem Refusal(const std::string& file, const BlockStart& start)
{
  if (start.kind != BlockStart::kNoDataBlock) return ReadProblem();
  return ReadProblem{ReadProblem::kNoDataBlock, file, NoDataBlockText(file, start) + kForceAdvice};
}

bool Missing(const std::string& file)
{
  struct stat status;
  return ::stat(file.c_str(), &status) != 0 && errno == ENOENT;
}

}  // namespace

ReadProblem CheckBeforeReading(const std::string& file, bool force)
{
  if (file == kStandardInputName) return ReadProblem();
  if (Missing(file)) return ReadProblem{ReadProblem::kMissing, file, std::strerror(ENOENT)};
  uint64_t size = 0;
  if (force || !IsRegularFile(file, size)) return ReadProblem();
  BlockStart start;
  std::string error;
  if (!CheckFileStart(file, start, error)) return ReadProblem{ReadProblem::kNotOpened, file, error};
  return Refusal(file, start);
}

ReadProblem CheckOpened(TTudaData& reader, const std::string& file, bool force)
{
  if (!reader.IsOpen()) {
    if (Missing(file)) return ReadProblem{ReadProblem::kMissing, file, std::strerror(ENOENT)};
    return ReadProblem{ReadProblem::kNotOpened, file, reader.Source().OpenError()};
  }
  uint64_t size = 0;
  if (force || IsRegularFile(file, size)) return ReadProblem();
  const std::string_view bytes = reader.Source().Ahead(TEGBlockSize);
  return Refusal(file, CheckBlockStart(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
}

ReadProblem CheckDamage(const TTudaData& reader, const std::string& file, const std::string& damageLine)
{
  if (!reader.Source().Damaged()) return ReadProblem();
  return Damage(file, damageLine);
}

ReadProblem Damage(const std::string& file, const std::string& damageLine)
{
  return ReadProblem{ReadProblem::kDamaged, file, WithoutLinePrefix(damageLine)};
}
