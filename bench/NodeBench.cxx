// The source node's whole run, Start to "Stop()", over the page-cached realistic run, with one
// receiver that reads every element of the four properties; beside it in the same program the
// plain loop that only reads the file block by block.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/BenchFile.h"
#include "plugin/UKMidasFile.h"
#include "tests/TestSupport.h"

namespace {

// An analysis node in miniature: takes the vectors' addresses at set-up and reads every element
// of every event in place.
class SummingReceiver : public KXBase {
 public:
  SummingReceiver() : KXBase(nullptr, "sum") {
    inputs.push_back(Input("fevent", static_cast<Callback>(&SummingReceiver::Receive),
                           kx_flowevent, "FlowEvent to read"));
  }

  void Receive(void* value) {
    FlowEvent& event = *static_cast<FlowEvent*>(value);
    if (event.setup) return Adopt(event);
    ++events;
    // Channels and values: an item is one element of each of two properties.
    for (const std::vector<short>* values : properties) {
      elements += values->size();
      sum += Sum(*values);
    }
  }

  static uint64_t Sum(const std::vector<short>& values) {
    uint64_t total = 0;
    for (short element : values) total += static_cast<uint16_t>(element);
    return total;
  }

  uint64_t Items() const { return elements / 2; }

  uint64_t events = 0;
  uint64_t elements = 0;
  uint64_t sum = 0;

 private:
  void Adopt(FlowEvent& event) {
    for (const char* propertyName :
         {UKMidasFile::kAdcChannelName, UKMidasFile::kAdcValueName, UKMidasFile::kTdcChannelName,
          UKMidasFile::kTdcValueName}) {
      properties.push_back(static_cast<const std::vector<short>*>(event[propertyName].value));
    }
  }

  std::vector<const std::vector<short>*> properties;
};

struct RunTotals {
  uint64_t blocks = 0;
  uint64_t events = 0;
  uint64_t items = 0;
};

// One node from construction to destruction: select, Init, connect, Start.
void RunNode(const std::string& path, RunTotals& totals) {
  std::string nodeName = "bench";
  UKMidasFile node(nodeName);
  const std::unique_ptr<FlowEvent> event(node.flowEvent);
  node.setFilename(path.c_str());
  node.Init();
  SummingReceiver receiver;
  node.AddReceiver(0, &receiver, 0);
  node.Start();
  benchmark::DoNotOptimize(receiver.sum);
  totals.blocks += node.tudaData.fBlocksRead;
  totals.events += receiver.events;
  totals.items += receiver.Items();
}

void NodeStart(benchmark::State& state) {
  const std::string path = BenchRunFile();
  RunTotals totals;
  for (auto _ : state) {
    // The node's own lines would break into the benchmark's table.
    const QuietConsole quiet;
    RunNode(path, totals);
  }
  state.SetBytesProcessed(static_cast<int64_t>(totals.blocks * TEGBlockSize));
  state.SetItemsProcessed(static_cast<int64_t>(totals.items));
  state.counters["events"] =
      benchmark::Counter(static_cast<double>(totals.events), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(NodeStart)->Unit(benchmark::kMillisecond)->UseRealTime();
