#pragma once

#include <cstdint>
#include <string>

static constexpr uint64_t kBenchRunBlocks = 16384;  // 512 MiB

// The benchmarks' data: a realistic synthetic run of `blocks` blocks (tens of ADC and TDC items
// per event), made once into the temporary folder and reused while its size is right, so that
// every pass after the first reads it from the page cache. Returns its path.
std::string BenchRunFile(uint64_t blocks = kBenchRunBlocks);
