#include "tools/histogram/KindHistogram.h"

#include <algorithm>
#include <numeric>

namespace {

// How many notes ahead a bin is fetched: enough to keep several fetches from memory under way.
constexpr size_t kFetchAhead = 16;
constexpr uint64_t kCarry = uint64_t(1) << 32;

}  // namespace

KindHistogram::KindHistogram(const SpectrumKind& kind, uint32_t bins)
    : kind(kind), bins(bins), counts(size_t(kind.channels) * bins), multiplicity(kMultiplicityBins)
{
  notes.reserve(kBatchNotes);
}

void KindHistogram::Fill(const std::vector<short>& channels, const std::vector<short>& values)
{
  // A short and an unsigned short may alias each other: the node's lists are read in place.
  Fill(reinterpret_cast<const uint16_t*>(channels.data()), reinterpret_cast<const uint16_t*>(values.data()),
       std::min(channels.size(), values.size()));
}

void KindHistogram::Fill(const uint16_t* channels, const uint16_t* values, size_t items)
{
  for (size_t i = 0; i < items; ++i) {
    const uint16_t channel = channels[i];
    if (channel >= kind.channels) {
      ++outsideItems;
      continue;
    }
    if (notes.size() == kBatchNotes) CountNotes();
    notes.push_back(channel * bins + BinOf(values[i]));
  }
  ++multiplicity[std::min<size_t>(items, kMultiplicityBins - 1)];
}

void KindHistogram::CountNotes() const
{
  const size_t held = notes.size();
  uint32_t* const table = counts.data();
  for (size_t i = 0; i < held; ++i) {
    if (i + kFetchAhead < held) __builtin_prefetch(table + notes[i + kFetchAhead], 1);
    if (++table[notes[i]] == 0) carries[notes[i]] += kCarry;
  }
  notes.clear();
}

uint64_t KindHistogram::CountWithCarry(uint32_t index) const
{
  const auto carry = carries.find(index);
  return counts[index] + (carry == carries.end() ? 0 : carry->second);
}

double KindHistogram::BinLow(uint32_t bin) const
{
  return static_cast<double>(uint64_t(bin) << kind.rangeBits) / bins;
}

std::vector<uint64_t> KindHistogram::HitsPerChannel() const
{
  if (!notes.empty()) CountNotes();
  std::vector<uint64_t> hits(kind.channels);
  for (uint32_t channel = 0; channel < kind.channels; ++channel) {
    const auto row = counts.begin() + size_t(channel) * bins;
    hits[channel] = std::accumulate(row, row + bins, uint64_t(0));
  }
  for (const auto& [index, carry] : carries) hits[index / bins] += carry;
  return hits;
}

uint64_t KindHistogram::Events() const
{
  return std::accumulate(multiplicity.begin(), multiplicity.end(), uint64_t(0));
}

uint64_t KindHistogram::Items() const
{
  const std::vector<uint64_t> hits = HitsPerChannel();
  return std::accumulate(hits.begin(), hits.end(), uint64_t(0));
}
