#include "tools/spectra/SpectrumPlots.h"

#include <plplot.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tools/spectra/Picture.h"

namespace {

// The map's value bins are joined into rows. PLplot draws every cell of the map on its own, so
// the cells are kept near a budget that draws in a tenth of a second: many channels get fewer
// rows, but never fewer than kMinMapRows, nor more than the plot has pixels for.
constexpr uint32_t kMapCellBudget = 80000;
constexpr uint32_t kMinMapRows = 64;
constexpr uint32_t kMaxMapRows = 512;
// Where an empty bin sits on a logarithmic scale: half a count, so that one count stands clear
// of the axis.
constexpr PLFLT kLogFloor = -0.30103;
// Room above the highest bar: a fifth of a decade, or a twentieth of the linear range.
constexpr PLFLT kLogHeadroom = 0.2;
constexpr PLFLT kLinearHeadroom = 1.05;
// Below every count: marks a map cell that is left blank.
constexpr PLFLT kBlankCell = -1.0;

// Viewports in normalised page coordinates: left, right, bottom, top.
struct Viewport {
  PLFLT left, right, bottom, top;
};
constexpr Viewport kMapViewport{0.11, 0.80, 0.10, 0.92};
constexpr Viewport kFullViewport{0.11, 0.96, 0.10, 0.92};
constexpr Viewport kUpperViewport{0.11, 0.96, 0.62, 0.93};
constexpr Viewport kLowerViewport{0.11, 0.96, 0.10, 0.41};
// Colour bar, beside the map's right edge, in fractions of the map's viewport.
constexpr PLFLT kBarGap = 0.03;
constexpr PLFLT kBarWidth = 0.04;
constexpr PLFLT kBarLength = 1.0;

// How counts become heights or colours.
class CountAxis {
 public:
  CountAxis(CountScale scale, uint64_t largest) : logarithmic(scale == CountScale::kLog), largest(largest) {}

  PLFLT Of(uint64_t count) const
  {
    if (!logarithmic) return static_cast<PLFLT>(count);
    return count == 0 ? kLogFloor : std::log10(static_cast<PLFLT>(count));
  }
  PLFLT Bottom() const { return logarithmic ? kLogFloor : 0.0; }
  PLFLT Top() const
  {
    const PLFLT top = Of(std::max<uint64_t>(largest, 1));
    return logarithmic ? top + kLogHeadroom : top * kLinearHeadroom;
  }
  // plbox options: box, labels, ticks, labels upright; powers of ten when logarithmic.
  const char* BoxOptions() const { return logarithmic ? "bcnstvl" : "bcnstv"; }
  const char* Name() const { return logarithmic ? "log scale" : "linear scale"; }
  bool Logarithmic() const { return logarithmic; }

 private:
  const bool logarithmic;
  const uint64_t largest;
};

uint32_t KindRange(const KindHistogram& histogram) { return uint32_t(1) << histogram.Kind().rangeBits; }

// Channels up to the last one that counted an item, rounded up to whole steps.
uint32_t ShownChannels(const std::vector<uint64_t>& hits)
{
  uint32_t last = 0;
  for (uint32_t channel = 0; channel < hits.size(); ++channel) {
    if (hits[channel] != 0) last = channel;
  }
  const uint32_t shown = (last / kChannelStep + 1) * kChannelStep;
  return std::min<uint32_t>(shown, static_cast<uint32_t>(hits.size()));
}

// Entries up to the last non-empty one, at least one.
size_t UsedLength(const std::vector<uint64_t>& counts)
{
  size_t used = counts.size();
  while (used > 1 && counts[used - 1] == 0) --used;
  return used;
}

void SetViewport(const Viewport& viewport, PLFLT xmin, PLFLT xmax, PLFLT ymin, PLFLT ymax)
{
  plvpor(viewport.left, viewport.right, viewport.bottom, viewport.top);
  plwind(xmin, xmax, ymin, ymax);
}

void Frame(const char* yOptions, const std::string& xLabel, const std::string& yLabel, const std::string& title)
{
  plcol0(kInkColour);
  plbox("bcnst", 0.0, 0, yOptions, 0.0, 0);
  pllab(xLabel.c_str(), yLabel.c_str(), title.c_str());
}

// A histogram of `counts`, bin i from edges[i] to edges[i + 1], in a frame of its own.
void DrawSteps(const Viewport& viewport, const std::vector<PLFLT>& edges, const std::vector<uint64_t>& counts,
               CountScale scale, const std::string& xLabel, const std::string& yNoun, const std::string& title)
{
  const CountAxis axis(scale, *std::max_element(counts.begin(), counts.end()));
  SetViewport(viewport, edges.front(), edges.back(), axis.Bottom(), axis.Top());
  std::vector<PLFLT> heights(counts.size());
  std::transform(counts.begin(), counts.end(), heights.begin(), [&axis](uint64_t count) { return axis.Of(count); });
  plcol0(kLineColour);
  plbin(static_cast<PLINT>(counts.size()), edges.data(), heights.data(), PL_BIN_DEFAULT);
  Frame(axis.BoxOptions(), xLabel, yNoun + " (" + axis.Name() + ")", title);
}

// Edges 0, 1, 2 ... for histograms of whole numbers.
std::vector<PLFLT> UnitEdges(size_t bins)
{
  std::vector<PLFLT> edges(bins + 1);
  for (size_t i = 0; i <= bins; ++i) edges[i] = static_cast<PLFLT>(i);
  return edges;
}

// The map's cells, column by column: the counts of `join` neighbouring value bins together.
std::vector<uint64_t> MapCells(const KindHistogram& histogram, uint32_t channels, uint32_t join, uint32_t rows)
{
  std::vector<uint64_t> cells(size_t(channels) * rows);
  for (uint32_t channel = 0; channel < channels; ++channel) {
    for (uint32_t bin = 0; bin < histogram.Bins(); ++bin) {
      cells[size_t(channel) * rows + bin / join] += histogram.Count(channel, bin);
    }
  }
  return cells;
}

void DrawColourBar(const CountAxis& axis, PLFLT low, PLFLT high)
{
  PLFLT width = 0.0;
  PLFLT height = 0.0;
  const PLINT labelOptions[] = {PL_COLORBAR_LABEL_RIGHT};
  const std::string label = std::string("Counts (") + axis.Name() + ")";
  const char* labels[] = {label.c_str()};
  const char* axisOptions[] = {axis.Logarithmic() ? "bcvtml" : "bcvtm"};
  const PLFLT ticks[] = {0.0};
  const PLINT subTicks[] = {0};
  const PLINT valueCounts[] = {2};
  const PLFLT range[] = {low, high};
  const PLFLT* values[] = {range};
  plcol0(kInkColour);
  plcolorbar(&width, &height, PL_COLORBAR_IMAGE, PL_POSITION_RIGHT | PL_POSITION_OUTSIDE | PL_POSITION_VIEWPORT,
             kBarGap, 0.0, kBarWidth, kBarLength, 0, kInkColour, 1, 0.0, 0.0, 0, 0.0, 1, labelOptions, labels, 1,
             axisOptions, ticks, subTicks, valueCounts, values);
}

}  // namespace

void DrawMap(const KindHistogram& histogram, CountScale scale)
{
  const uint32_t channels = ShownChannels(histogram.HitsPerChannel());
  const uint32_t maxRows = std::clamp(kMapCellBudget / channels, kMinMapRows, kMaxMapRows);
  const uint32_t join = (histogram.Bins() + maxRows - 1) / maxRows;
  const uint32_t rows = (histogram.Bins() + join - 1) / join;
  const std::vector<uint64_t> cells = MapCells(histogram, channels, join, rows);
  const CountAxis axis(scale, *std::max_element(cells.begin(), cells.end()));

  std::vector<PLFLT> shades(cells.size());
  std::vector<const PLFLT*> columns(channels);
  for (size_t i = 0; i < cells.size(); ++i) shades[i] = cells[i] == 0 ? kBlankCell : axis.Of(cells[i]);
  for (uint32_t channel = 0; channel < channels; ++channel) columns[channel] = &shades[size_t(channel) * rows];

  // A count of one is the lowest colour; blank cells lie below it and are left white.
  const PLFLT low = axis.Of(1);
  const PLFLT high = std::max(axis.Of(*std::max_element(cells.begin(), cells.end())), low + 1.0);
  const PLFLT range = KindRange(histogram);
  const PLFLT top = histogram.BinLow(rows * join);
  pladv(0);
  SetViewport(kMapViewport, 0.0, channels, 0.0, range);
  plimage(columns.data(), static_cast<PLINT>(channels), static_cast<PLINT>(rows), 0.0, channels, 0.0, top, low,
          high, 0.0, channels, 0.0, range);
  const std::string label = histogram.Kind().label;
  Frame("bcnstv", "Channel", "Value", label + ": value against channel");
  DrawColourBar(axis, low, high);
}

void DrawHits(const KindHistogram& histogram, CountScale scale)
{
  const std::vector<uint64_t> hits = histogram.HitsPerChannel();
  const std::vector<uint64_t> shownHits(hits.begin(), hits.begin() + ShownChannels(hits));
  const std::string label = histogram.Kind().label;
  pladv(0);
  DrawSteps(kUpperViewport, UnitEdges(shownHits.size()), shownHits, scale, "Channel", "Items",
            label + ": items per channel");
  const std::vector<uint64_t>& multiplicity = histogram.Multiplicity();
  // One empty multiplicity past the largest, so that the last bar does not sit on the frame.
  const size_t shown = std::min(UsedLength(multiplicity) + 1, multiplicity.size());
  const std::vector<uint64_t> shownEvents(multiplicity.begin(), multiplicity.begin() + shown);
  DrawSteps(kLowerViewport, UnitEdges(shownEvents.size()), shownEvents, scale, "Items in the event", "Events",
            label + ": events per multiplicity");
}

void DrawChannel(const KindHistogram& histogram, uint32_t channel, CountScale scale)
{
  std::vector<uint64_t> counts(histogram.Bins());
  std::vector<PLFLT> edges(histogram.Bins() + 1);
  for (uint32_t bin = 0; bin < histogram.Bins(); ++bin) counts[bin] = histogram.Count(channel, bin);
  for (uint32_t bin = 0; bin <= histogram.Bins(); ++bin) edges[bin] = histogram.BinLow(bin);
  pladv(0);
  DrawSteps(kFullViewport, edges, counts, scale, "Value", "Counts",
            std::string(histogram.Kind().label) + " channel " + std::to_string(channel) + ": spectrum");
}
