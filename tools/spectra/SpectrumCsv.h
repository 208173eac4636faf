#pragma once

#include <ostream>

#include "tools/histogram/KindHistogram.h"

// The bins of a histogram as CSV: the header line "channel,low,high,count", then one row for
// every bin that counted an item, by channel, then by value. A value v counted in the bin with
// low <= v < high.
void WriteSpectrumCsv(const KindHistogram& histogram, std::ostream& stream);
