#include "bench/ShareReporter.h"

#include <algorithm>
#include <cstdio>

#include "reader/TTudaData.h"

namespace {

constexpr const char* kMedian = "median";
constexpr const char* kBytesPerSecond = "bytes_per_second";

}  // namespace

void ShareReporter::ReportRuns(const std::vector<Run>& runs)
{
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    if (run.run_type != Run::RT_Aggregate || run.aggregate_name != kMedian) continue;
    const auto rate = run.counters.find(kBytesPerSecond);
    if (rate == run.counters.end() || run.GetAdjustedCPUTime() <= 0.0) continue;
    // The benchmarks time wall-clock time, so the same bytes over the processor time give the
    // other rate.
    const double processor = rate->second * run.GetAdjustedRealTime() / run.GetAdjustedCPUTime();
    medians.push_back({run.run_name.function_name, rate->second, processor});
  }
}

void ShareReporter::Finalize()
{
  ConsoleReporter::Finalize();
  const auto base = std::find_if(medians.begin(), medians.end(),
                                 [this](const Rates& rates) { return rates.name == baseline; });
  if (base == medians.end() || base->wallClock <= 0.0) return;
  const Rates reference = *base;
  std::sort(medians.begin(), medians.end(),
            [](const Rates& a, const Rates& b) { return a.wallClock > b.wallClock; });
  std::ostream& out = GetOutputStream();
  out << "Median throughput as a share of " << baseline << "'s, interleaved in this run:\n"
      << "  benchmark       wall clock   processor   MB/s (wall clock)\n";
  for (const Rates& rates : medians) {
    char line[128];
    std::snprintf(line, sizeof line, "  %-14s %10.1f%% %10.1f%%   %10.1f\n", rates.name.c_str(),
                  100.0 * rates.wallClock / reference.wallClock,
                  100.0 * rates.processor / reference.processor,
                  rates.wallClock / kBytesPerMegabyte);
    out << line;
  }
  out.flush();
}
