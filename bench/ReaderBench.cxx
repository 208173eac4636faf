// The reader's decoding speed beside a plain loop that only reads the same file, block by block,
// over a page-cached realistic run of 256 MiB.
#include <benchmark/benchmark.h>

#include <fstream>

#include "bench/BenchFile.h"
#include "reader/TTudaData.h"
#include "tests/TestSupport.h"

namespace {

void PlainRead(benchmark::State& state)
{
  const std::string path = BenchRunFile();
  std::vector<char> block(TEGBlockSize);
  uint64_t bytes = 0;
  for (auto _ : state) {
    std::ifstream file(path, std::ios::binary);
    while (file.read(block.data(), static_cast<std::streamsize>(block.size()))) bytes += block.size();
    benchmark::DoNotOptimize(block.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

uint64_t ItemsOf(const TTudaEvent& event)
{
  return event.GetAdcItems().size() + event.GetTdcItems().size() + event.GetEpicsItems().size() +
         event.GetScalerItems().size();
}

void GetNextEvent(benchmark::State& state)
{
  const std::string path = BenchRunFile();
  uint64_t blocks = 0;
  uint64_t items = 0;
  for (auto _ : state) {
    TTudaData reader;
    {
      // The reader's "Opened data file" line would break into the benchmark's table.
      const QuietConsole quiet;
      reader.OpenDataFile(path.c_str());
    }
    while (TTudaEvent* event = reader.GetNextEvent()) {
      items += ItemsOf(*event);
      event->Clear(nullptr);
    }
    blocks += reader.BlocksRead();
  }
  state.SetBytesProcessed(static_cast<int64_t>(blocks * TEGBlockSize));
  state.SetItemsProcessed(static_cast<int64_t>(items));
}

}  // namespace

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GetNextEvent)->Unit(benchmark::kMillisecond)->UseRealTime();
