#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The page that shows a spectra run at once in a browser: its figures, then every picture with
// its caption, then links to the bin tables.

// What a run read and how long it took.
struct RunFigures {
  std::vector<std::string> files;
  uint64_t events = 0;
  std::vector<std::pair<std::string, uint64_t>> itemsPerKind;  // ("ADC", items)
  double seconds = 0.0;
};

// A file of the run's output folder, named relative to the page, and what it shows.
struct IndexEntry {
  std::string file;
  std::string caption;
};

// index.html's text.
std::string SpectrumIndexPage(const RunFigures& figures, const std::vector<IndexEntry>& pictures,
                              const std::vector<IndexEntry>& tables);
