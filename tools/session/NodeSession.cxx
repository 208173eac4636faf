#include "tools/session/NodeSession.h"

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "plugin/NodeContract.h"
#include "reader/TByteSource.h"
#include "tools/console/Interrupt.h"
#include "tools/process/ProgramPath.h"
#include "tools/session/InstallDirs.h"

namespace {

using NewObject = KXBase* (*)(std::string&);

// How often the waiting thread looks at the node's run and at Ctrl-C.
constexpr std::chrono::milliseconds kRunLook{50};

// Connected for a moment to learn the address of the node's FlowEvent from its set-up
// hand-over.
class SetupCatcher : public KXBase {
 public:
  SetupCatcher() : KXBase(nullptr, "setup") {
    inputs.push_back(KXBase::Input(kEventOutputName, static_cast<Callback>(&SetupCatcher::Receive),
                                   kx_flowevent, "FlowEvent handed over at set-up"));
  }

  FlowEvent* caught = nullptr;

 private:
  void Receive(void* value) {
    FlowEvent* event = static_cast<FlowEvent*>(value);
    if (event != nullptr && event->setup) caught = event;
  }
};

// As the reader opens a data file: a folder is not one. A pipe or a device is not opened to find
// out: a reader that opened and closed a pipe before the node does could leave its writer with
// no reader at all.
bool Opens(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::file_status status = std::filesystem::status(path, ignored);
  if (!std::filesystem::exists(status) || std::filesystem::is_directory(status)) return false;
  return !std::filesystem::is_regular_file(status) || std::ifstream(path, std::ios::binary).is_open();
}

// Where the node finds a data file name: as given, else inside the data directory. Standard
// input is opened by its name, never looked for.
std::string FindDataFile(const std::string& name) {
  if (name == kStandardInputName) return name;
  return LookUpDataFile(name, DataDirectoryNow(), [](const std::string& path, bool) { return Opens(path); });
}

// The first line of a list file names the data file, taken as it stands.
std::string FindListedFile(const std::string& listName) {
  std::ifstream list(listName);
  if (!list.is_open()) return std::string();
  std::string firstLine;
  std::getline(list, firstLine);
  return FindDataFile(firstLine);
}

// The plug-in beside the running program (a build tree), else the one in the plug-in folder of
// the tree the program is installed in; the one beside it when neither is there, so that the
// failure names the first place looked at.
std::string DefaultPlugin() {
  const std::string beside = BesideProgram(kNodeModuleFile);
  const std::string installed = BesideProgram(std::string(kPluginFolderFromProgram) + "/" + kNodeModuleFile);
  std::error_code ignored;
  if (!std::filesystem::exists(beside, ignored) && std::filesystem::exists(installed, ignored)) return installed;
  return beside;
}

}  // namespace

std::string NodeDataFile(const std::string& file, const std::string& listFile) {
  return file.empty() ? FindListedFile(listFile) : FindDataFile(file);
}

NodeSession::NodeSession() = default;

NodeSession::~NodeSession() {
  if (node != nullptr) deleteObject(node);
  // With the node gone, nothing points at its FlowEvent any more.
  flowEvent.reset();
  if (library != nullptr) dlclose(library);
}

bool NodeSession::Open(const std::string& pluginPath, const std::string& nodeName,
                       std::string& error) {
  const std::string path = pluginPath.empty() ? DefaultPlugin() : pluginPath;
  library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    error = "cannot load plug-in: " + std::string(dlerror());
    return false;
  }
  const auto newObject = reinterpret_cast<NewObject>(dlsym(library, kNewObjectSymbol));
  deleteObject = reinterpret_cast<DeleteObject>(dlsym(library, kDelObjectSymbol));
  if (newObject == nullptr || deleteObject == nullptr) {
    error = "plug-in " + path + " lacks newObject or delObject";
    return false;
  }
  std::string instanceName = nodeName;
  node = newObject(instanceName);
  if (node == nullptr) {
    error = "the plug-in made no node";
    return false;
  }
  if (node->GetNumberForOutput(kEventOutputName) < 0) {
    error = "the node has no output " + std::string(kEventOutputName);
    return false;
  }
  return true;
}

KXBase& NodeSession::Node() { return *node; }

void NodeSession::SetSteps(uint32_t steps) {
  int value = static_cast<int>(steps);
  node->SetInput(kStepsInputName, &value);
}

void NodeSession::SetInterval(float seconds) { node->SetInput(kIntervalInputName, &seconds); }

void NodeSession::SetFile(const std::string& name) {
  SetText(kFileInputName, name);
  dataFile = NodeDataFile(name, "");
}

void NodeSession::SetListFile(const std::string& name) {
  SetText(kListFileInputName, name);
  dataFile = NodeDataFile("", name);
}

// The input takes a NUL-terminated text that the node may keep pointing at only during the call.
void NodeSession::SetText(const char* input, const std::string& text) {
  std::vector<char> value(text.begin(), text.end());
  value.push_back('\0');
  node->SetInput(input, value.data());
}

void NodeSession::Connect(KXBase& receiver, int input) {
  const int output = node->GetNumberForOutput(kEventOutputName);
  node->Init();
  CatchFlowEvent(output);
  node->AddReceiver(output, &receiver, input);
}

void NodeSession::CatchFlowEvent(int output) {
  if (flowEvent != nullptr) return;
  SetupCatcher catcher;
  node->AddReceiver(output, &catcher, 0);
  node->RemoveReceiver(output, &catcher, 0);
  flowEvent.reset(catcher.caught);
}

bool NodeSession::Start(InterruptWatch& watch) {
  watch.StopNode(node);
  node->Start();
  watch.StopNode(nullptr);
  return watch.Interrupted();
}

NodeEnd NodeSession::StartOrAbandon(std::chrono::milliseconds grace) {
  InterruptWatch watch;
  watch.StopNode(node);
  // Shared with the node's thread, which may outlive this call when the node is abandoned.
  auto ended = std::make_shared<std::promise<void>>();
  std::future<void> finished = ended->get_future();
  std::thread runner([node = node, ended] {
    node->Start();
    ended->set_value();
  });
  std::chrono::steady_clock::time_point interruptedAt;
  while (finished.wait_for(kRunLook) != std::future_status::ready) {
    if (!watch.Interrupted()) continue;
    const auto now = std::chrono::steady_clock::now();
    if (interruptedAt == std::chrono::steady_clock::time_point()) interruptedAt = now;
    if (now - interruptedAt >= grace) {
      runner.detach();
      return NodeEnd::kAbandoned;
    }
  }
  runner.join();
  return watch.Interrupted() ? NodeEnd::kInterrupted : NodeEnd::kEnded;
}
