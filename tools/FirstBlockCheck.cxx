#include "tools/FirstBlockCheck.h"

#include <iostream>

#include "tools/FileCheck.h"
#include "tools/InputName.h"

void FirstBlockCheck::Declare(CLI::App& app)
{
  app.add_flag("--force", force, "decode files that do not start with a data block")->disable_flag_override();
  app.footer(app.get_footer() +
             "\n\nA file that does not start with a data block is refused, with exit status 1,\n"
             "unless --force is given; a file shorter than one block is never refused.");
}

bool FirstBlockCheck::Refused(const std::string& file, const BlockStart& start, std::ostream& errors) const
{
  if (start.kind != BlockStart::kNoDataBlock) return false;
  errors << "tuda " << command << ": " << NoDataBlockText(file, start) << "; use --force to decode it anyway"
            << std::endl;
  return true;
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
    passes = !Refused(file, start, std::cerr) && passes;
  }
  return passes;
}

bool FirstBlockCheck::PassesOpened(TTudaData& reader, const std::string& file) const
{
  uint64_t size = 0;
  if (force || !reader.fFile.is_open() || IsRegularFile(file, size)) return true;
  const std::string_view bytes = reader.fSource.Ahead(TEGBlockSize);
  // On the reader's error stream: a reader on a worker thread has its lines gathered.
  return !Refused(file, CheckBlockStart(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
                  reader.Errors());
}
