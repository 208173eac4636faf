#pragma once

#include <cstdio>

#include "tools/KindHistogram.h"

// The bins of a histogram as CSV: the header line "channel,low,high,count", then one row for
// every bin that counted an item, by channel, then by value. A value v counted in the bin with
// low <= v < high. False when the stream could not be written.
bool WriteSpectrumCsv(const KindHistogram& histogram, std::FILE* stream);
