#include "tools/KindHistogram.h"

#include <algorithm>
#include <numeric>

KindHistogram::KindHistogram(const SpectrumKind& kind, uint32_t bins)
    : kind(kind), bins(bins), counts(size_t(kind.channels) * bins), multiplicity(kMultiplicityBins)
{
}

void KindHistogram::Fill(const std::vector<short>& channels, const std::vector<short>& values)
{
  const size_t items = std::min(channels.size(), values.size());
  for (size_t i = 0; i < items; ++i) {
    const uint16_t channel = static_cast<uint16_t>(channels[i]);
    if (channel >= kind.channels) {
      ++outsideItems;
      continue;
    }
    ++counts[channel * bins + BinOf(static_cast<uint16_t>(values[i]))];
  }
  ++multiplicity[std::min<size_t>(items, kMultiplicityBins - 1)];
}

double KindHistogram::BinLow(uint32_t bin) const
{
  return static_cast<double>(uint64_t(bin) << kind.rangeBits) / bins;
}

std::vector<uint64_t> KindHistogram::HitsPerChannel() const
{
  std::vector<uint64_t> hits(kind.channels);
  for (uint32_t channel = 0; channel < kind.channels; ++channel) {
    const auto row = counts.begin() + size_t(channel) * bins;
    hits[channel] = std::accumulate(row, row + bins, uint64_t(0));
  }
  return hits;
}

uint64_t KindHistogram::Events() const
{
  return std::accumulate(multiplicity.begin(), multiplicity.end(), uint64_t(0));
}

uint64_t KindHistogram::Items() const { return std::accumulate(counts.begin(), counts.end(), uint64_t(0)); }
