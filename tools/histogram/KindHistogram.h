#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "tools/histogram/SpectrumKind.h"

// The spectra of one kind of item: counts per channel and value bin, and the number of items
// per event (the multiplicity).
//
// The counts of a large binning do not fit in the processor's caches, and items arrive in no
// order, so an increment made as each item arrives would wait for memory almost every time.
// Fill therefore only notes each item's bin; the notes are counted a batch at a time, with the
// bins of later notes fetched ahead while earlier ones are counted. Every reading counts the
// notes still held first. Filling allocates nothing.
class KindHistogram {
 public:
  // The multiplicity of an event with this many items or more is counted in the last bin.
  static constexpr uint32_t kMultiplicityBins = 1024;

  // `bins` equal bins over the kind's full range of values; 1 to kMaxBins.
  KindHistogram(const SpectrumKind& kind, uint32_t bins);

  // One event's items: channel i with value i. Both lists are read as unsigned 16-bit numbers,
  // up to the shorter one's length. A channel beyond the kind's channels is counted apart.
  void Fill(const std::vector<short>& channels, const std::vector<short>& values);
  // The same for `items` items given as arrays.
  void Fill(const uint16_t* channels, const uint16_t* values, size_t items);

  const SpectrumKind& Kind() const { return kind; }
  uint32_t Bins() const { return bins; }
  uint64_t Count(uint32_t channel, uint32_t bin) const
  {
    if (!notes.empty()) CountNotes();
    const uint32_t index = channel * bins + bin;
    return carries.empty() ? counts[index] : CountWithCarry(index);
  }
  // The bin that value falls into, and the bin's edges: low <= value < high.
  uint32_t BinOf(uint16_t value) const { return (uint32_t(value) * bins) >> kind.rangeBits; }
  double BinLow(uint32_t bin) const;
  double BinHigh(uint32_t bin) const { return BinLow(bin + 1); }
  // Whether every bin edge is a whole number: the bins divide the range evenly.
  bool WholeEdges() const { return ((uint64_t(1) << kind.rangeBits) % bins) == 0; }

  std::vector<uint64_t> HitsPerChannel() const;
  // Events per multiplicity, kMultiplicityBins entries.
  const std::vector<uint64_t>& Multiplicity() const { return multiplicity; }
  uint64_t Events() const;
  // Items counted in a channel's bins.
  uint64_t Items() const;
  // Items whose channel lies beyond the kind's channels.
  uint64_t OutsideItems() const { return outsideItems; }

 private:
  // Notes counted at a time: a quarter of a megabyte, which stays in the cache while it fills.
  static constexpr size_t kBatchNotes = 1 << 16;

  // Counts the notes held; const, as every reading calls it.
  void CountNotes() const;
  uint64_t CountWithCarry(uint32_t index) const;

  const SpectrumKind& kind;
  const uint32_t bins;
  // 32-bit counts, channel-major (channel * bins + bin), to keep the table small; a count that
  // passes 2^32 carries into `carries`, which stays empty in any run of a sane size.
  mutable std::vector<uint32_t> counts;
  mutable std::unordered_map<uint32_t, uint64_t> carries;
  mutable std::vector<uint32_t> notes;  // bins of items not yet counted
  std::vector<uint64_t> multiplicity;
  uint64_t outsideItems = 0;
};
