#include "tools/spectra/SpectrumFiles.h"

#include <charconv>
#include <filesystem>
#include <functional>
#include <ostream>

#include "tools/output/OutputFile.h"
#include "tools/spectra/SpectrumCsv.h"

namespace {

constexpr const char* kMapStem = "map";
constexpr const char* kHitsStem = "hits";
constexpr const char* kTableExtension = ".csv";
constexpr const SpectrumKind* kKinds[] = {&kAdcKind, &kTdcKind};
constexpr PictureFormat kFormats[] = {PictureFormat::kPng, PictureFormat::kSvg};

bool EndsWith(const std::string& text, const std::string& end)
{
  return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A channel number of `kind` as a picture's name writes it: decimal, no leading zero.
bool IsChannelStem(const std::string& stem, const SpectrumKind& kind)
{
  uint32_t channel = 0;
  const auto [end, fault] = std::from_chars(stem.data(), stem.data() + stem.size(), channel);
  return fault == std::errc() && end == stem.data() + stem.size() && std::to_string(channel) == stem &&
         channel < kind.channels;
}

// Whether a run of any kinds, channels and format writes a file of this name: KIND-map,
// KIND-hits or KIND-CHANNEL as a picture, or KIND's table.
bool IsSpectrumFile(const std::string& file)
{
  for (const SpectrumKind* kind : kKinds) {
    const std::string prefix = std::string(kind->name) + "-";
    if (file == kind->name + std::string(kTableExtension)) return true;
    if (file.compare(0, prefix.size(), prefix) != 0) continue;
    for (const PictureFormat format : kFormats) {
      const std::string extension = std::string(".") + ExtensionOf(format);
      if (!EndsWith(file, extension)) continue;
      const std::string stem = file.substr(prefix.size(), file.size() - prefix.size() - extension.size());
      if (stem == kMapStem || stem == kHitsStem || IsChannelStem(stem, *kind)) return true;
    }
  }
  return false;
}

// Removes the pictures and tables an earlier run left in the folder, so that none of them stands
// beside the new ones as if it were part of this run; every other file stays.
bool RemoveEarlierFiles(const std::string& folder, std::string& error)
{
  std::error_code fault;
  std::string failed = folder;
  for (std::filesystem::directory_iterator entry(folder, fault), end; !fault && entry != end; entry.increment(fault)) {
    std::error_code unknownKind;
    if (!IsSpectrumFile(entry->path().filename().string()) || !entry->is_regular_file(unknownKind)) continue;
    std::filesystem::remove(entry->path(), fault);
    if (fault) failed = entry->path().string();
  }
  if (!fault) return true;
  error = "cannot remove the earlier spectra in " + failed + ": " + fault.message();
  return false;
}

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
    const std::string file = std::string(histogram.Kind().name) + kTableExtension;
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
  if (!writer.Picture(name + "-" + kMapStem, label + ": value against channel, counts as colour",
                      [&] { DrawMap(histogram, options.scale); }) ||
      !writer.Picture(name + "-" + kHitsStem, label + ": items per channel and events per multiplicity",
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
  if (!RemoveEarlierFiles(options.folder, error)) return false;
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
