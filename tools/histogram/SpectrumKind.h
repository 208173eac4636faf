#pragma once

#include <cstdint>

#include "reader/TTudaData.h"
#include "tools/histogram/FlowVectors.h"
#include "tools/histogram/KindNames.h"

// The two kinds of item the source node publishes, as `tuda spectra` bins them: the property
// names they arrive under, the channel numbers the reader can give them, and the full range of
// their values.

// The first and last group of a group set, counted from 1 as the set's bits are.
constexpr unsigned FirstGroupOf(uint64_t groups)
{
  unsigned group = 1;
  while (group < kLastGroupInSets && (groups & (uint64_t(1) << (group - 1))) == 0) ++group;
  return group;
}

constexpr unsigned LastGroupOf(uint64_t groups)
{
  unsigned group = kLastGroupInSets;
  while (group > 1 && (groups & (uint64_t(1) << (group - 1))) == 0) --group;
  return group;
}

// Channel numbers the reader can store for a set: the channel within the last group may run up
// to the address field's largest value, past the group's own channels.
constexpr uint32_t ChannelsOfSet(uint64_t groups, uint32_t channelsPerGroup)
{
  return (LastGroupOf(groups) - FirstGroupOf(groups)) * channelsPerGroup + kChannelMask + 1;
}

struct SpectrumKind {
  const char* name;   // in file names and the CSV: "adc"
  const char* label;  // on pictures and pages: "ADC"
  const char* channelProperty;
  const char* valueProperty;
  uint32_t channels;   // channel numbers 0 to channels - 1
  uint32_t rangeBits;  // values 0 to 2^rangeBits - 1
  uint32_t defaultBins;
};

// The number of bits a value mask keeps.
constexpr uint32_t BitsOf(uint32_t mask) { return mask == 0 ? 0 : 1 + BitsOf(mask >> 1); }

// ADC values keep the data word's low bits; TDC values the whole word.
constexpr SpectrumKind kAdcKind{kAdcKindName,
                                "ADC",
                                kAdcChannelProperty,
                                kAdcValueProperty,
                                ChannelsOfSet(adcGroups, adcChannels),
                                BitsOf(kAdcValueMask),
                                4096};
constexpr SpectrumKind kTdcKind{kTdcKindName,
                                "TDC",
                                kTdcChannelProperty,
                                kTdcValueProperty,
                                ChannelsOfSet(tdcGroups, tdcChannels),
                                BitsOf(0xffff),
                                4096};

// The most bins a kind may be divided into: one per ADC value.
constexpr uint32_t kMaxBins = 4096;
