#include "tools/input/FirstBlockCheck.h"

#include <iostream>

#include "tools/input/DataOpen.h"
#include "tools/input/InputName.h"

void FirstBlockCheck::Declare(CLI::App& app, Refusal refusal)
{
  app.add_flag("--force", force, "decode files that do not start with a data block")->disable_flag_override();
  app.footer(app.get_footer() +
             "\n\nA file that does not start with a data block is refused, with exit status 1,\n"
             "unless --force is given; a file shorter than one block is never refused." +
             (refusal == kStepsOverTheFile ? "\nThe files after a refused one are still read." : ""));
}

FirstBlockCheck::Start FirstBlockCheck::Judged(const std::string& file, const BlockStart& start,
                                               std::ostream& errors) const
{
  if (start.kind != BlockStart::kNoDataBlock) return kDataBlock;
  if (force) return kForced;
  errors << "tuda " << command << ": " << NoDataBlockText(file, start) << "; use --force to decode it anyway"
         << std::endl;
  return kRefused;
}

bool FirstBlockCheck::Passes(const std::vector<std::string>& files) const
{
  bool passes = true;
  for (const std::string& file : files) {
    uint64_t size = 0;
    if (force || !IsRegularFile(file, size)) continue;
    // A file that does not open is left to the reader, which says so in its own words.
    BlockStart start;
    std::string error;
    if (!CheckFileStart(file, start, error)) continue;
    passes = Judged(file, start, std::cerr) != kRefused && passes;
  }
  return passes;
}

FirstBlockCheck::Start FirstBlockCheck::Open(TTudaData& reader, const std::string& file,
                                             const std::atomic<bool>& cancel) const
{
  uint64_t size = 0;
  if (IsRegularFile(file, size)) {
    // A file that does not open is left to the reader, which says so in its own words.
    BlockStart start;
    std::string error;
    const Start judged = CheckFileStart(file, start, error) ? Judged(file, start, reader.Errors()) : kDataBlock;
    if (judged != kRefused) OpenData(reader, file, command, cancel);
    return judged;
  }
  if (!OpenData(reader, file, command, cancel)) return kDataBlock;
  const std::string_view bytes = reader.Source().Ahead(TEGBlockSize);
  return Judged(file, CheckBlockStart(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
                reader.Errors());
}
