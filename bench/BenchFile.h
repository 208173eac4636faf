#pragma once

#include <string>

// The benchmarks' data: a realistic synthetic run of 512 MiB (tens of ADC and TDC items per
// event), made once into the temporary folder and reused while its size is right, so that every
// pass after the first reads it from the page cache. Returns its path.
std::string BenchRunFile();
