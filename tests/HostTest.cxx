#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "flow/FlowEvent.h"
#include "flow/KXBase.h"
#include "flow/kx_type.h"
#include "tests/TestSupport.h"

namespace {

// What reached a test node: which node, how, and the address it was handed.
struct Arrival {
  std::string what;
  void* value;

  bool operator==(const Arrival& other) const {
    return what == other.what && value == other.value;
  }
};

std::ostream& operator<<(std::ostream& os, const Arrival& arrival) {
  return os << arrival.what << " @" << arrival.value;
}

// A node with one output, "values", and three inputs: "first" and "second" take an int,
// "event" takes a FlowEvent and keeps its listing. Every arrival goes to a shared log.
class TestNode : public KXBase {
 public:
  TestNode(const std::string& nodeName, std::vector<Arrival>& log)
      : KXBase(nullptr, "NoName"), log(log) {
    SetName(nodeName);
    inputs.push_back(Input("first", static_cast<Callback>(&TestNode::Take), kx_int, "First"));
    inputs.push_back(Input("second", static_cast<Callback>(&TestNode::Take), kx_int, "Second"));
    inputs.push_back(Input("event", static_cast<Callback>(&TestNode::List), kx_flowevent, "Event"));
    outputs.push_back(Output("values", kx_int, "Values sent"));
  }

  void Take(void* value) {
    log.push_back({GetName() + " took " + std::to_string(currentInput), value});
  }
  void Forward(void* value) { log.push_back({GetName() + " forwarded", value}); }
  void Watch(void* value) { log.push_back({GetName() + " watched", value}); }
  void List(void* value) { listings.push_back(static_cast<FlowEvent*>(value)->str()); }

  bool IsRunning() const { return running; }
  void Run() { running = true; }
  int CurrentInput() const { return currentInput; }

  std::vector<std::string> listings;

 private:
  std::vector<Arrival>& log;
};

class HostTest : public ::testing::Test {
 protected:
  static KXBase::Callback AsCallback(void (TestNode::*callback)(void*)) {
    return static_cast<KXBase::Callback>(callback);
  }

  std::vector<Arrival> log;
  TestNode src{"src", log};
  TestNode sink{"sink", log};
  TestNode other{"other", log};
  int value = 7;
};

// ---- Port records ------------------------------------------------------------------------

TEST_F(HostTest, ConstructorLeavesPortListsEmpty) {
  KXBase base(nullptr, "NoName");
  EXPECT_TRUE(base.GetInputs().empty());
  EXPECT_TRUE(base.GetOutputs().empty());
  EXPECT_EQ(base.GetName(), "NoName");
  EXPECT_EQ(base.GetHandle(), nullptr);
  EXPECT_EQ(base.GetManager(), nullptr);
}

TEST_F(HostTest, NewNodeIsIdleWithNoCurrentInput) {
  EXPECT_FALSE(src.IsRunning());
  EXPECT_EQ(src.CurrentInput(), -1);
}

TEST_F(HostTest, InputForwardsToItselfUntilToldOtherwise) {
  const KXBase::Input input("steps", AsCallback(&TestNode::Take), kx_int, "How many");
  EXPECT_EQ(input.name, "steps");
  EXPECT_EQ(input.callback, AsCallback(&TestNode::Take));
  EXPECT_EQ(input.forwardCallback, input.callback);
  EXPECT_EQ(input.type, kx_int);
  EXPECT_EQ(input.description, "How many");
  EXPECT_TRUE(input.valueText.empty());
  EXPECT_EQ(input.sender, nullptr);
  EXPECT_EQ(input.forwardTarget, nullptr);
  EXPECT_EQ(input.senderOutput, -1);
}

TEST_F(HostTest, OutputStartsWithoutConnections) {
  const KXBase::Output output("fevent", kx_flowevent, "Decoded FlowEvent");
  EXPECT_EQ(output.name, "fevent");
  EXPECT_EQ(output.type, kx_flowevent);
  EXPECT_EQ(output.description, "Decoded FlowEvent");
  EXPECT_TRUE(output.receivers.empty());
  EXPECT_TRUE(output.inputIndices.empty());
  EXPECT_TRUE(output.monitors.empty());
  EXPECT_TRUE(output.monitorCallbacks.empty());
}

TEST_F(HostTest, PortsAreFoundByName) {
  EXPECT_EQ(sink.GetNumberForInput("second"), 1);
  EXPECT_EQ(sink.GetNumberForInput("nothing"), -1);
  EXPECT_EQ(src.GetNumberForOutput("values"), 0);
  EXPECT_EQ(src.GetNumberForOutput("nothing"), -1);
}

TEST_F(HostTest, InputStringIsTheInputsValueText) {
  sink.GetInputs()[1].valueText = "12";
  EXPECT_EQ(sink.GetInputString(1), "12");
}

// ---- Connections -------------------------------------------------------------------------

TEST_F(HostTest, AddReceiverRecordsTheConnectionOnBothSides) {
  src.AddReceiver(0, &sink, 1);
  const KXBase::Output& output = src.GetOutputs()[0];
  EXPECT_EQ(output.receivers, std::vector<KXBase*>{&sink});
  EXPECT_EQ(output.inputIndices, std::vector<uint32_t>{1});
  EXPECT_EQ(sink.GetInputs()[1].sender, &src);
  EXPECT_EQ(sink.GetInputs()[1].senderOutput, 0);
  EXPECT_EQ(src.FindReceiver(0, &sink, 1), 0);
  EXPECT_EQ(src.FindReceiver(0, &sink, 0), -1);
}

TEST_F(HostTest, AddReceiverByNameConnectsTheNamedPorts) {
  src.AddReceiver("values", &sink, "second");
  EXPECT_EQ(src.FindReceiver(0, &sink, 1), 0);
}

TEST_F(HostTest, RemoveReceiverEndsDelivery) {
  src.AddReceiver(0, &sink, 0);
  src.AddReceiver(0, &other, 0);
  src.RemoveReceiver("values", &sink, "first");
  src.SendOutput(0u, &value);
  EXPECT_EQ(log, (std::vector<Arrival>{{"other took 0", &value}}));
  EXPECT_EQ(sink.GetInputs()[0].sender, nullptr);
  EXPECT_EQ(sink.GetInputs()[0].senderOutput, -1);
}

TEST_F(HostTest, RefreshReceiversRestoresSenderLinks) {
  src.AddReceiver(0, &sink, 1);
  sink.SetSender(-1, nullptr, 1);
  src.RefreshReceivers();
  EXPECT_EQ(sink.GetInputs()[1].sender, &src);
  EXPECT_EQ(sink.GetInputs()[1].senderOutput, 0);
}

TEST_F(HostTest, ConnectedPortListsHoldOnlyConnectedPorts) {
  src.AddReceiver(0, &sink, 1);
  EXPECT_EQ(src.GetConOutputs(), std::vector<KXBase::Output*>{&src.GetOutputs()[0]});
  EXPECT_TRUE(sink.GetConOutputs().empty());
  EXPECT_EQ(sink.GetConInputs(), std::vector<KXBase::Input*>{&sink.GetInputs()[1]});
  EXPECT_EQ(sink.GetInputPointers().size(), 3u);
  EXPECT_EQ(sink.GetInputPointers()[2], &sink.GetInputs()[2]);
  EXPECT_EQ(src.GetOutputPointers(), std::vector<KXBase::Output*>{&src.GetOutputs()[0]});
}

// ---- Delivery ----------------------------------------------------------------------------

TEST_F(HostTest, SendOutputReachesEveryConnectedInputBeforeReturning) {
  src.AddReceiver(0, &sink, 1);
  src.AddReceiver(0, &other, 0);
  src.AddReceiver(0, &sink, 0);
  src.SendOutput(0u, &value);
  EXPECT_EQ(log, (std::vector<Arrival>{
                     {"sink took 1", &value}, {"other took 0", &value}, {"sink took 0", &value}}));
  EXPECT_EQ(sink.CurrentInput(), 0);
}

TEST_F(HostTest, ForwardingInputHandsTheValueToItsTarget) {
  KXBase::Input& input = sink.GetInputs()[0];
  input.forwardCallback = AsCallback(&TestNode::Forward);
  input.forwardTarget = &other;
  src.AddReceiver(0, &sink, 0);
  src.SendOutput(0u, &value);
  EXPECT_EQ(log, (std::vector<Arrival>{{"other forwarded", &value}}));
  EXPECT_EQ(sink.CurrentInput(), 0);
}

TEST_F(HostTest, MonitorsSeeTheValueAfterTheInputs) {
  KXBase::Output& output = src.GetOutputs()[0];
  output.monitors.push_back(&other);
  output.monitorCallbacks.push_back(AsCallback(&TestNode::Watch));
  src.AddReceiver(0, &sink, 0);
  src.SendOutput(0u, &value);
  EXPECT_EQ(log, (std::vector<Arrival>{{"sink took 0", &value}, {"other watched", &value}}));
}

TEST_F(HostTest, ReceiverReadsTheSentEventInPlace) {
  FlowEvent event;
  std::vector<short> values = {1, 12};
  event["ADCChannel"] = FlowProperty(kx_vshort, FlowBinning(), &values);
  src.AddReceiver("values", &sink, "event");
  src.SendOutput(0u, &event);
  values.push_back(-3);
  src.SendOutput(0u, &event);
  EXPECT_EQ(sink.listings, (std::vector<std::string>{"ADCChannel:\t   1   12 \n",
                                                     "ADCChannel:\t   1   12   -3 \n"}));
}

TEST_F(HostTest, SetInputDeliversToTheNodesOwnInput) {
  sink.SetInput("second", &value);
  sink.SetInput(0, &value);
  EXPECT_EQ(log, (std::vector<Arrival>{{"sink took 1", &value}, {"sink took 0", &value}}));
}

// ---- Running and drawing -----------------------------------------------------------------

TEST_F(HostTest, StopLowersTheRunningFlag) {
  src.Run();
  src.Stop();
  EXPECT_FALSE(src.IsRunning());
}

TEST_F(HostTest, SizesCountOneEntryPerRowOfPorts) {
  src.SetPosition(10, 20);
  src.SetSize(100, 30);
  const int entry = src.GetEntryHeight();
  int x = 0;
  int y = 0;
  src.GetFullSize(x, y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 30 + 3 * entry);
  src.GetInputPosition(1, x, y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20 + 30 + entry + entry / 2);
  src.GetOutputPosition(0, x, y);
  EXPECT_EQ(x, 110);
  EXPECT_EQ(y, 20 + 30 + entry / 2);
}

TEST_F(HostTest, CollapsedNodeShowsItsTitleAreaOnly) {
  src.SetPosition(10, 20);
  src.SetSize(100, 30);
  src.SetCollapsed(true);
  int x = 0;
  int y = 0;
  src.GetActualSize(x, y);
  EXPECT_TRUE(src.IsCollapsed());
  EXPECT_EQ(y, 30);
  src.GetInputPosition(2, x, y);
  EXPECT_EQ(y, 35);
}

// ---- Conversions -------------------------------------------------------------------------

TEST_F(HostTest, ScalarsConvertFromAnyTag) {
  int16_t shortValue = -2;
  uint64_t wide = 5000000000ULL;
  std::vector<float> floats = {2.5f, 9.0f};
  std::vector<float> none;
  std::string text = "42 43";
  EXPECT_EQ(src.convertToInt(&shortValue, kx_short), -2);
  EXPECT_EQ(src.convertToInt64(&wide, kx_uint64), 5000000000LL);
  EXPECT_EQ(src.convertToDouble(&floats, kx_vfloat), 2.5);
  EXPECT_EQ(src.convertToFloat(&none, kx_vfloat), 0.0f);
  EXPECT_EQ(src.convertToShort(&text, kx_string), 42);
  EXPECT_EQ(src.convertToDouble("0.25"), 0.25);
  EXPECT_EQ(src.convertToInt("many"), 0);
  EXPECT_EQ(src.convertToInt(nullptr, kx_int), 0);
}

TEST_F(HostTest, ListsConvertElementByElement) {
  std::vector<int> ints = {1, -2};
  double single = 1.5;
  EXPECT_EQ(src.convertToShortV(&ints, kx_vint), (std::vector<short>{1, -2}));
  EXPECT_EQ(src.convertToDoubleV(&single, kx_double), std::vector<double>{1.5});
  EXPECT_EQ(src.convertToIntV("3 4 x"), (std::vector<int>{3, 4, 0}));
  EXPECT_EQ(src.convertToFloatV("0.5"), std::vector<float>{0.5f});
  EXPECT_EQ(src.convertToStringV(&ints, kx_vint), (std::vector<std::string>{"1", "-2"}));
  EXPECT_EQ(src.convertToStringV("a b"), (std::vector<std::string>{"a", "b"}));
}

TEST_F(HostTest, TextConvertsWholeAndListsJoinWithBlanks) {
  std::vector<double> doubles = {1.5, 2};
  char characters[] = "run 7.dat";
  std::string text = "abc";
  FlowEvent event;
  event["x"] = FlowProperty(kx_vdouble, FlowBinning(), &doubles);
  EXPECT_EQ(src.convertToString(&doubles, kx_vdouble), "1.5 2");
  EXPECT_EQ(src.convertToString(characters, kx_cstring), "run 7.dat");
  EXPECT_EQ(src.convertToString(&event, kx_flowevent), "x:\t 1.5    2 \n");
  EXPECT_EQ(src.convertToString(&value, kx_int), "7");
  EXPECT_EQ(src.convertToCString(&text, kx_string), text.c_str());
  EXPECT_EQ(src.convertToCString(characters, kx_cstring), characters);
  EXPECT_STREQ(src.convertToCString(&value, kx_int), "");
}

// ---- Formulas ----------------------------------------------------------------------------

TEST_F(HostTest, FormulaOfConstantsEvaluates) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"true", true},   {" false ", false}, {"1", true},      {"0", false},
      {"3 < 4", true},  {"3<4", true},      {"2 >= 5", false}, {"2 == 2.0", true},
      {"1 != 1", false}, {"4 <= 4", true},  {"5 > 4", true},  {"", false},
      {"abc", false},   {"1 2", false},     {"1 <", false},   {"1 <> 2", false}};
  for (const auto& [text, truth] : cases) {
    formulaParser formula(text);
    EXPECT_EQ(formula.eval(), truth) << "\"" << text << "\"";
  }
}

// ---- Error paths -------------------------------------------------------------------------

TEST_F(HostTest, AddReceiverRefusesMissingOutput) {
  const Console console = CaptureConsole([&] { src.AddReceiver(3, &sink, 0); });
  EXPECT_EQ(console.err, "AddReceiver: ERROR - no output 3 on node src\n");
  EXPECT_EQ(console.out, "");
  EXPECT_EQ(sink.GetInputs()[0].sender, nullptr);
}

TEST_F(HostTest, AddReceiverRefusesMissingInput) {
  const Console console = CaptureConsole([&] { src.AddReceiver(0, &sink, 5); });
  EXPECT_EQ(console.err, "AddReceiver: ERROR - no input 5 on node sink\n");
  EXPECT_EQ(console.out, "");
  EXPECT_TRUE(src.GetOutputs()[0].receivers.empty());
  EXPECT_TRUE(src.GetOutputs()[0].inputIndices.empty());
}

TEST_F(HostTest, AddReceiverRefusesNegativeInput) {
  const Console console = CaptureConsole([&] { src.AddReceiver(0, &sink, -1); });
  EXPECT_EQ(console.err, "AddReceiver: ERROR - no input -1 on node sink\n");
  EXPECT_TRUE(src.GetOutputs()[0].receivers.empty());
}

TEST_F(HostTest, AddReceiverRefusesMissingNode) {
  const Console console = CaptureConsole([&] { src.AddReceiver(0, nullptr, 0); });
  EXPECT_EQ(console.err, "AddReceiver: ERROR - no receiving node given to node src\n");
  EXPECT_TRUE(src.GetOutputs()[0].receivers.empty());
}

TEST_F(HostTest, AddReceiverRefusesASecondIdenticalConnection) {
  src.AddReceiver(0, &sink, 1);
  const Console console = CaptureConsole([&] { src.AddReceiver(0, &sink, 1); });
  EXPECT_EQ(console.err,
            "AddReceiver: ERROR - the connection from output 0 of node src to input 1 of node "
            "sink exists already\n");
  EXPECT_EQ(src.GetOutputs()[0].receivers.size(), 1u);
}

TEST_F(HostTest, AddReceiverRefusesUnknownOutputName) {
  const Console console = CaptureConsole([&] { src.AddReceiver("nothing", &sink, "first"); });
  EXPECT_EQ(console.err, "AddReceiver: ERROR - no output named nothing on node src\n");
  EXPECT_TRUE(src.GetOutputs()[0].receivers.empty());
}

TEST_F(HostTest, AddReceiverRefusesUnknownInputName) {
  const Console console = CaptureConsole([&] { src.AddReceiver("values", &sink, "third"); });
  EXPECT_EQ(console.err, "AddReceiver: ERROR - no input named third on node sink\n");
  EXPECT_TRUE(src.GetOutputs()[0].receivers.empty());
}

TEST_F(HostTest, SendOutputOnMissingOutputDeliversNothing) {
  src.AddReceiver(0, &sink, 0);
  const Console console = CaptureConsole([&] { src.SendOutput(1u, &value); });
  EXPECT_EQ(console.err, "SendOutput: ERROR - no output 1 on node src\n");
  EXPECT_EQ(console.out, "");
  EXPECT_TRUE(log.empty());
}

TEST_F(HostTest, ForwardingToNoNodeDeliversNothing) {
  sink.GetInputs()[0].forwardCallback = AsCallback(&TestNode::Forward);
  src.AddReceiver(0, &sink, 0);
  const Console console = CaptureConsole([&] { src.SendOutput(0u, &value); });
  EXPECT_EQ(console.err, "SetInput: ERROR - input 0 of node sink forwards to no node\n");
  EXPECT_TRUE(log.empty());
}

TEST_F(HostTest, InputWithoutCallbackDeliversNothing) {
  sink.GetInputs()[1].callback = nullptr;
  sink.GetInputs()[1].forwardCallback = nullptr;
  const Console console = CaptureConsole([&] { sink.SetInput(1, &value); });
  EXPECT_EQ(console.err, "SetInput: ERROR - input 1 of node sink has no callback\n");
  EXPECT_TRUE(log.empty());
}

TEST_F(HostTest, SetInputRefusesUnknownName) {
  const Console console = CaptureConsole([&] { sink.SetInput("nothing", &value); });
  EXPECT_EQ(console.err, "SetInput: ERROR - no input named nothing on node sink\n");
  EXPECT_TRUE(log.empty());
}

TEST_F(HostTest, RemoveReceiverRefusesMissingConnection) {
  const Console console = CaptureConsole([&] { src.RemoveReceiver(0, &sink, 0); });
  EXPECT_EQ(console.err,
            "RemoveReceiver: ERROR - the connection from output 0 of node src to input 0 of "
            "node sink does not exist\n");
}

TEST_F(HostTest, InputStringOfMissingInputIsEmpty) {
  const Console console = CaptureConsole([&] { EXPECT_EQ(sink.GetInputString(3), ""); });
  EXPECT_EQ(console.err, "GetInputString: ERROR - no input 3 on node sink\n");
}

}  // namespace
