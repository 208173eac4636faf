#include "tools/NodeSession.h"

#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <vector>

#include "plugin/UKMidasFile.h"

namespace {

using NewObject = KXBase* (*)(std::string&);
using DelObject = void (*)(void*);

constexpr const char* kOutputName = "fevent";

// The node that Ctrl-C stops. A signal handler reaches nothing but objects of static storage, so
// this one pointer is file-wide; it is set only while Start runs.
std::atomic<KXBase*> interruptTarget{nullptr};
std::atomic<bool> interrupted{false};

// Only lock-free atomic stores happen here: Stop lowers the node's running flag.
void StopOnInterrupt(int)
{
  interrupted.store(true);
  KXBase* node = interruptTarget.load();
  if (node != nullptr) node->Stop();
}

void SetText(KXBase& node, const char* input, const std::string& text)
{
  std::vector<char> characters(text.begin(), text.end());
  characters.push_back('\0');
  node.SetInput(input, characters.data());
}

}  // namespace

// Takes the FlowEvent the node hands over at connection, so that the session can free it.
class NodeSession::SetupKeeper : public KXBase {
 public:
  SetupKeeper() : KXBase(nullptr, "setup")
  {
    inputs.push_back(KXBase::Input(kOutputName, static_cast<KXBase::Callback>(&SetupKeeper::Keep), kx_flowevent,
                                   "FlowEvent handed over"));
  }
  void Keep(void* value)
  {
    FlowEvent* event = static_cast<FlowEvent*>(value);
    if (event != nullptr && event->setup) kept = event;
  }
  FlowEvent* kept = nullptr;
};

NodeSession::NodeSession() = default;

NodeSession::~NodeSession()
{
  if (node != nullptr) deleteNode(node);
  // With the node gone, nothing holds its FlowEvent any more.
  setupEvent.reset();
  if (library != nullptr) dlclose(library);
}

bool NodeSession::Open(const std::string& pluginPath, const std::string& nodeName, std::string& error)
{
  library = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    error = "cannot load plug-in: " + std::string(dlerror());
    return false;
  }
  const auto newObject = reinterpret_cast<NewObject>(dlsym(library, kNewObjectSymbol));
  deleteNode = reinterpret_cast<DelObject>(dlsym(library, kDelObjectSymbol));
  if (newObject == nullptr || deleteNode == nullptr) {
    error = "plug-in " + pluginPath + " lacks newObject or delObject";
    return false;
  }
  std::string name = nodeName;
  node = newObject(name);
  if (node == nullptr) error = "the plug-in made no node";
  return node != nullptr;
}

KXBase& NodeSession::Node() { return *node; }

void NodeSession::SetSteps(uint32_t steps)
{
  int value = static_cast<int>(steps);
  node->SetInput(UKMidasFile::kStepsInput, &value);
}

void NodeSession::SetInterval(float seconds) { node->SetInput(UKMidasFile::kIntervalInput, &seconds); }

void NodeSession::SetFile(const std::string& name) { SetText(*node, UKMidasFile::kFileInput, name); }

void NodeSession::SetListFile(const std::string& name) { SetText(*node, UKMidasFile::kListFileInput, name); }

void NodeSession::Connect(KXBase& receiver, int input)
{
  node->Init();
  SetupKeeper keeper;
  node->AddReceiver(0, &keeper, 0);
  node->RemoveReceiver(0, &keeper, 0);
  if (!setupEvent) setupEvent.reset(keeper.kept);
  node->AddReceiver(0, &receiver, input);
}

bool NodeSession::Start()
{
  interrupted.store(false);
  interruptTarget.store(node);
  struct sigaction action {};
  action.sa_handler = StopOnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  sigaction(SIGINT, &action, &previous);
  node->Start();
  sigaction(SIGINT, &previous, nullptr);
  interruptTarget.store(nullptr);
  return interrupted.load();
}

std::string DefaultPluginPath()
{
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return kPluginFileName;
  const std::string program(path.data(), static_cast<size_t>(length));
  return program.substr(0, program.rfind('/') + 1) + kPluginFileName;
}
