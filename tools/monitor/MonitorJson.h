#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/histogram/KindHistogram.h"
#include "tools/monitor/MonitorSnapshot.h"

// The JSON objects of the monitor's API, rendered from a published snapshot. A bin's edges are
// low <= value < high; `edges` has one more entry than `counts`.

// events, blocks, bytes, rates, following, finished, the losses by cause and the reader's last
// lines; `secondsSinceData` is measured against `now`.
std::string StatusJson(const MonitorSnapshot& snapshot, MonitorClock::time_point now);
// Items per channel: channels 0 to N-1 and their counts.
std::string HitsJson(const KindHistogram& histogram, const std::vector<uint64_t>& hits);
// Value against channel: for each channel a row of counts, `rebin` value bins summed into one
// (the last one sums what remains).
std::string MapJson(const KindHistogram& histogram, uint32_t rebin);
// One channel's spectrum.
std::string ChannelJson(const KindHistogram& histogram, uint32_t channel);
// {"error": message}
std::string ErrorJson(const std::string& message);
