#pragma once

#include <cstdint>
#include <functional>
#include <ostream>

// Realistic synthetic runs for `tuda gen`, the benchmark and the demo.

struct SyntheticRunOptions {
  uint64_t events = 10000;  // events to write, when `blocks` is 0
  uint64_t blocks = 0;      // when not 0: write exactly this many blocks instead
  uint64_t seed = 1;
  double swappedFraction = 0;  // share of blocks written in the other byte order
};

// Called before every event with the events and whole blocks written so far; false ends the
// run there, its last block closed.
using SyntheticRunCheck = std::function<bool(uint64_t events, uint64_t blocks)>;

// Writes a run of events of tens of ADC and TDC items, now and then a few scaler and EPICS
// items. The same options give the same bytes on every platform. Returns the blocks written.
uint64_t WriteSyntheticRun(std::ostream& out, const SyntheticRunOptions& options,
                           const SyntheticRunCheck& keepGoing = nullptr);
