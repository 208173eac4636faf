#include "tools/SpectrumFiles.h"

#include <cstdio>
#include <filesystem>
#include <functional>

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
    if (!picture.Save(PathOf(file), error)) return false;
    pictures.push_back({file, caption});
    return true;
  }

  bool Csv(const KindHistogram& histogram)
  {
    const std::string file = std::string(histogram.Kind().name) + ".csv";
    if (!WriteText(file, [&histogram](std::FILE* stream) { return WriteSpectrumCsv(histogram, stream); })) {
      return false;
    }
    tables.push_back({file, histogram.Kind().label});
    return true;
  }

  bool Index(const RunFigures& figures)
  {
    const std::string page = SpectrumIndexPage(figures, pictures, tables);
    return WriteText("index.html", [&page](std::FILE* stream) {
      return std::fwrite(page.data(), 1, page.size(), stream) == page.size();
    });
  }

  std::string error;

 private:
  std::string PathOf(const std::string& file) const { return options.folder + "/" + file; }

  bool WriteText(const std::string& file, const std::function<bool(std::FILE*)>& write)
  {
    return WriteOutputFile(PathOf(file), write, error);
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
