// The source node's whole run, Start to "Stop()", over the page-cached realistic run: the plug-in
// module loaded as a host loads it, with one receiver that reads every element of the four
// properties.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <string>
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
    for (const std::vector<short>* values : properties) sum += Sum(*values);
  }

  static uint64_t Sum(const std::vector<short>& values) {
    uint64_t total = 0;
    for (short element : values) total += static_cast<uint16_t>(element);
    return total;
  }

  // The event handed over at set-up: the node leaves it to whoever holds it last.
  FlowEvent* setupEvent = nullptr;
  uint64_t events = 0;
  uint64_t sum = 0;

 private:
  void Adopt(FlowEvent& event) {
    setupEvent = &event;
    for (const char* propertyName :
         {UKMidasFile::kAdcChannelName, UKMidasFile::kAdcValueName, UKMidasFile::kTdcChannelName,
          UKMidasFile::kTdcValueName}) {
      properties.push_back(static_cast<const std::vector<short>*>(event[propertyName].value));
    }
  }

  std::vector<const std::vector<short>*> properties;
};

// The plug-in module as a host loads it, once for the program.
class NodeModule {
 public:
  using NewObject = KXBase* (*)(std::string&);
  using DelObject = void (*)(void*);

  NodeModule() : library(dlopen(UKMIDAS_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL)) {
    if (library == nullptr) return;
    newObject = reinterpret_cast<NewObject>(dlsym(library, kNewObjectSymbol));
    delObject = reinterpret_cast<DelObject>(dlsym(library, kDelObjectSymbol));
  }
  ~NodeModule() {
    if (library != nullptr) dlclose(library);
  }
  NodeModule(const NodeModule&) = delete;
  NodeModule& operator=(const NodeModule&) = delete;

  bool Loaded() const { return newObject != nullptr && delObject != nullptr; }

  void* library;
  NewObject newObject = nullptr;
  DelObject delObject = nullptr;
};

// One node from creation to deletion, as a host drives it: select the file, Init, connect,
// Start. Returns the events received.
uint64_t RunNode(const NodeModule& module, const std::string& path) {
  std::string nodeName = "bench";
  KXBase* node = module.newObject(nodeName);
  if (node == nullptr) return 0;
  std::string file = path;
  node->SetInput(UKMidasFile::kFileInput, file.data());
  node->Init();
  SummingReceiver receiver;
  node->AddReceiver(0, &receiver, 0);
  node->Start();
  module.delObject(node);
  const std::unique_ptr<FlowEvent> event(receiver.setupEvent);
  benchmark::DoNotOptimize(receiver.sum);
  return receiver.events;
}

void NodeStart(benchmark::State& state) {
  const std::string path = BenchRunFile();
  const NodeModule module;
  if (!module.Loaded()) return state.SkipWithError("cannot load the plug-in module");
  uint64_t passes = 0;
  for (auto _ : state) {
    // The node's own lines would break into the benchmark's table.
    const QuietConsole quiet;
    if (RunNode(module, path) == 0) return state.SkipWithError("the node sent no event");
    ++passes;
  }
  state.SetBytesProcessed(static_cast<int64_t>(passes * std::filesystem::file_size(path)));
}

}  // namespace

BENCHMARK(NodeStart)->Unit(benchmark::kMillisecond)->UseRealTime();
