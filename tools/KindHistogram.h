#pragma once

#include <cstdint>
#include <vector>

#include "tools/SpectrumKind.h"

// The spectra of one kind of item: counts per channel and value bin, and the number of items
// per event (the multiplicity). Filling allocates nothing; everything else is read from the
// counts when asked, so nothing is counted twice.
class KindHistogram {
 public:
  // The multiplicity of an event with this many items or more is counted in the last bin.
  static constexpr uint32_t kMultiplicityBins = 1024;

  // `bins` equal bins over the kind's full range of values; 1 to kMaxBins.
  KindHistogram(const SpectrumKind& kind, uint32_t bins);

  // One event's items: channel i with value i. Both lists are read as unsigned 16-bit numbers,
  // up to the shorter one's length. A channel beyond the kind's channels is counted apart.
  void Fill(const std::vector<short>& channels, const std::vector<short>& values);

  const SpectrumKind& Kind() const { return kind; }
  uint32_t Bins() const { return bins; }
  uint64_t Count(uint32_t channel, uint32_t bin) const { return counts[channel * bins + bin]; }
  // The bin that value falls into, and the bin's edges: low <= value < high.
  uint32_t BinOf(uint16_t value) const { return (uint32_t(value) * bins) >> kind.rangeBits; }
  double BinLow(uint32_t bin) const;
  double BinHigh(uint32_t bin) const { return BinLow(bin + 1); }

  std::vector<uint64_t> HitsPerChannel() const;
  // Events per multiplicity, kMultiplicityBins entries.
  const std::vector<uint64_t>& Multiplicity() const { return multiplicity; }
  uint64_t Events() const;
  // Items counted in a channel's bins.
  uint64_t Items() const;
  // Items whose channel lies beyond the kind's channels.
  uint64_t OutsideItems() const { return outsideItems; }

 private:
  const SpectrumKind& kind;
  const uint32_t bins;
  std::vector<uint64_t> counts;  // channel-major: channel * bins + bin
  std::vector<uint64_t> multiplicity;
  uint64_t outsideItems = 0;
};
