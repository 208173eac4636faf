#include "tools/SpectrumFiles.h"

#include <filesystem>
#include <functional>
#include <ostream>

#include "tools/OutputFile.h"
#include "tools/SpectrumCsv.h"

namespace {

// Writes files into the folder and keeps the index's entries for them.
class FolderWriter {
 public:
  explicit FolderWriter(const SpectrumFileOptions& options) : options(options) {}

  bool Picture(const std::string& stem, const std::string& caption, const std::function<void()>& draw)
  {
    const std::string file = stem + "." + ExtensionOf(options.format);
    ::Picture picture(options.format, kPictureWidth, kPictureHeight);
    draw();
    if (!WriteFile(file, [&picture](std::ostream& out) { picture.WriteTo(out); })) return false;
    pictures.push_back({file, caption});
    return true;
  }

  bool Csv(const KindHistogram& histogram)
  {
    const std::string file = std::string(histogram.Kind().name) + ".csv";
    if (!WriteFile(file, [&histogram](std::ostream& out) { WriteSpectrumCsv(histogram, out); })) return false;
    tables.push_back({file, histogram.Kind().label});
    return true;
  }

  bool Index(const RunFigures& figures)
  {
    const std::string page = SpectrumIndexPage(figures, pictures, tables);
    return WriteFile("index.html", [&page](std::ostream& out) { out << page; });
  }

  std::string error;

 private:
  std::string PathOf(const std::string& file) const { return options.folder + "/" + file; }

  // Each file is written whole under a temporary name and then takes its own, replacing the
  // one a run before left there.
  bool WriteFile(const std::string& file, const std::function<void(std::ostream&)>& write)
  {
    OutputFile output;
    if (!output.Open(PathOf(file), true, error)) return false;
    if (options.watch != nullptr) options.watch->RemoveOnSecondInterrupt(output.TemporaryPath());
    write(output.Stream());
    const bool committed = output.Commit(error);
    if (options.watch != nullptr) options.watch->RemoveOnSecondInterrupt(nullptr);
    return committed;
  }

  const SpectrumFileOptions& options;
  std::vector<IndexEntry> pictures;
  std::vector<IndexEntry> tables;
};

bool WriteKind(const KindHistogram& histogram, const SpectrumFileOptions& options, FolderWriter& writer)
{
  const std::string name = histogram.Kind().name;
  const std::string label = histogram.Kind().label;
  if (!writer.Picture(name + "-map", label + ": value against channel, counts as colour",
                      [&] { DrawMap(histogram, options.scale); }) ||
      !writer.Picture(name + "-hits", label + ": items per channel and events per multiplicity",
                      [&] { DrawHits(histogram, options.scale); })) {
    return false;
  }
  for (const uint32_t channel : options.channels) {
    const std::string number = std::to_string(channel);
    if (!writer.Picture(name + "-" + number, label + " channel " + number + ": spectrum",
                        [&] { DrawChannel(histogram, channel, options.scale); })) {
      return false;
    }
  }
  return writer.Csv(histogram);
}

}  // namespace

bool WriteSpectrumFiles(const std::vector<const KindHistogram*>& histograms, const RunFigures& figures,
                        const SpectrumFileOptions& options, std::string& error)
{
  std::error_code made;
  std::filesystem::create_directories(options.folder, made);
  if (made) {
    error = "cannot make the folder " + options.folder + ": " + made.message();
    return false;
  }
  FolderWriter writer(options);
  for (const KindHistogram* histogram : histograms) {
    if (!WriteKind(*histogram, options, writer)) {
      error = writer.error;
      return false;
    }
  }
  if (writer.Index(figures)) return true;
  error = writer.error;
  return false;
}
