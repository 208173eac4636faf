#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "flow/FlowEvent.h"
#include "flow/KXBase.h"
#include "tests/TestSupport.h"

// The module as a host finds it: UKMIDAS_PLUGIN_PATH is set by the build.

namespace {

using NewObject = KXBase* (*)(std::string&);
using DelObject = void (*)(void*);

constexpr const char* kNewObjectSymbol =
    "_Z9newObjectRNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";
constexpr const char* kDelObjectSymbol = "_Z9delObjectPv";

// A host's node that keeps the FlowEvent handed over at connection: the node leaves it to
// whoever holds it last.
class SetupReceiver : public KXBase {
 public:
  SetupReceiver() : KXBase(nullptr, "receiver") {
    inputs.push_back(KXBase::Input("fevent", static_cast<Callback>(&SetupReceiver::Receive),
                                   kx_flowevent, "FlowEvent"));
  }

  std::unique_ptr<FlowEvent> event;

 private:
  void Receive(void* value) { event.reset(static_cast<FlowEvent*>(value)); }
};

class PluginLoadTest : public testing::Test {
 protected:
  void SetUp() override {
    library = dlopen(UKMIDAS_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
  }

  void TearDown() override {
    if (library != nullptr) dlclose(library);
  }

  void* Symbol(const char* symbolName) const { return dlsym(library, symbolName); }

  void* library = nullptr;
  ConsoleCapture console;
};

TEST_F(PluginLoadTest, FileNameIsTheHostsPluginName) {
  const std::string path = UKMIDAS_PLUGIN_PATH;
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "UKMidasFile.kxp");
}

TEST_F(PluginLoadTest, EntryPointsResolveByTheirMangledNames) {
  EXPECT_NE(Symbol(kNewObjectSymbol), nullptr);
  EXPECT_NE(Symbol(kDelObjectSymbol), nullptr);
  EXPECT_EQ(Symbol("newObject"), nullptr);
  EXPECT_EQ(Symbol("delObject"), nullptr);
}

TEST_F(PluginLoadTest, NothingElseIsExported) {
  EXPECT_EQ(Symbol("_ZN11UKMidasFile5StartEv"), nullptr);
  EXPECT_EQ(Symbol("_ZN11UKMidasFileC1ERNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"),
            nullptr);
  EXPECT_EQ(Symbol("_ZN9TTudaData12GetNextEventEv"), nullptr);
  EXPECT_EQ(Symbol("_ZN9TTudaDataC1Ev"), nullptr);
}

TEST_F(PluginLoadTest, LoadedEntryPointsMakeAndDeleteANode) {
  const auto create = reinterpret_cast<NewObject>(Symbol(kNewObjectSymbol));
  const auto destroy = reinterpret_cast<DelObject>(Symbol(kDelObjectSymbol));
  ASSERT_NE(create, nullptr);
  ASSERT_NE(destroy, nullptr);
  std::string instanceName = "loaded";
  KXBase* node = create(instanceName);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(console.TakeOut(), "loaded instantiated\n");
  EXPECT_EQ(node->GetName(), "loaded");
  EXPECT_EQ(node->GetInputs().size(), 4u);
  ASSERT_EQ(node->GetNumberForOutput("fevent"), 0);
  SetupReceiver receiver;
  node->AddReceiver(0, &receiver, 0);
  EXPECT_NE(receiver.event, nullptr);
  destroy(node);
  EXPECT_EQ(console.TakeOut(), "loaded deleted\n");
  destroy(nullptr);
  EXPECT_EQ(console.TakeOut(), "");
  EXPECT_EQ(console.TakeErr(), "");
}

}  // namespace
