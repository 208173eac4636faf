#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

// The console table as usual, then one line per benchmark giving its median throughput as a share
// of the baseline benchmark's, measured in the same run: by wall-clock time and by the process's
// processor time. With the repetitions interleaved, load from other programs on the machine falls
// on every benchmark alike, so the shares hold steady where the absolute rates do not; the
// processor-time share is the steadier of the two on a busy machine.
class ShareReporter : public benchmark::ConsoleReporter {
 public:
  ShareReporter(std::string baseline, OutputOptions options)
      : ConsoleReporter(options), baseline(std::move(baseline))
  {
  }

  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  // Median bytes per second of one benchmark.
  struct Rates {
    std::string name;
    double wallClock;
    double processor;
  };

  std::string baseline;
  std::vector<Rates> medians;
};
