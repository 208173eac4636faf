#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

// A binned range, or explicit bin edges that take its place when there are any. Copies never
// share their edges.
class FlowBinning {
 public:
  double min = 0.0;
  double max = 0.0;
  int32_t bins = 0;
  std::vector<double> edges;
};

// One line: the edges separated by blanks, or the range and its number of bins.
inline std::ostream& operator<<(std::ostream& os, const FlowBinning& binning) {
  if (binning.edges.empty()) {
    os << "Min: " << binning.min << ", Max: " << binning.max << ", Bins: " << binning.bins;
  } else {
    const char* separator = "";
    for (double edge : binning.edges) {
      os << separator << edge;
      separator = " ";
    }
  }
  return os << std::endl;
}
