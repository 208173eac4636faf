#include "plugin/UKMidasFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/CountedAllocations.h"
#include "tests/TestSupport.h"
#include "writer/MidasFileWriter.h"

namespace {

using Values = std::vector<uint16_t>;

constexpr const char* kDataDirectoryVariable = "UKMIDASDATA";
constexpr const char* kTypeListing =
    "ADCChannel:\tvector<short>\n"
    "ADCValue:\tvector<short>\n"
    "TDCChannel:\tvector<short>\n"
    "TDCValue:\tvector<short>\n";

// One channel/value pair as the writer encodes it and the node publishes it.
struct Item {
  unsigned channel;
  uint16_t value;
};

// What one event should carry in the four properties.
struct SentEvent {
  std::vector<Item> adc;
  std::vector<Item> tdc;
};

Values Channels(const std::vector<Item>& items) {
  Values channels;
  for (const Item& item : items) channels.push_back(static_cast<uint16_t>(item.channel));
  return channels;
}

Values ValuesOf(const std::vector<Item>& items) {
  Values values;
  for (const Item& item : items) values.push_back(item.value);
  return values;
}

WriterEvent ToWriterEvent(const SentEvent& event) {
  WriterEvent written;
  for (const Item& item : event.adc) written.tokens.push_back(tokens::Adc(item.channel, item.value));
  for (const Item& item : event.tdc) written.tokens.push_back(tokens::Tdc(item.channel, item.value));
  return written;
}

// Event n of a numbered run: n ADC items and one TDC item, all telling n apart.
SentEvent NumberedEvent(unsigned n) {
  SentEvent event;
  for (unsigned i = 0; i < n; ++i) {
    event.adc.push_back({i, static_cast<uint16_t>(100 * n + i)});
  }
  event.tdc.push_back({n, static_cast<uint16_t>(1000 + n)});
  return event;
}

std::vector<SentEvent> NumberedEvents(unsigned count) {
  std::vector<SentEvent> events;
  for (unsigned n = 1; n <= count; ++n) events.push_back(NumberedEvent(n));
  return events;
}

// What a receiver saw in one delivery, read through the event's properties.
struct Delivery {
  FlowEvent* event = nullptr;
  bool setup = false;
  int currentInput = -1;
  bool forwarded = false;
  Values adcChannel;
  Values adcValue;
  Values tdcChannel;
  Values tdcValue;
  std::string listing;
};

// A node of the host's graph with `inputCount` FlowEvent inputs that records every delivery.
// `onDelivery` runs after each one; with `keep` lowered nothing is recorded, so that a
// delivery allocates nothing.
class RecordingReceiver : public KXBase {
 public:
  explicit RecordingReceiver(const std::string& nodeName, int inputCount = 1)
      : KXBase(nullptr, nodeName) {
    for (int i = 0; i < inputCount; ++i) {
      inputs.push_back(Input("in" + std::to_string(i),
                             static_cast<Callback>(&RecordingReceiver::Receive), kx_flowevent,
                             "events"));
    }
  }

  void Receive(void* value) { Record(value, false); }
  void Forwarded(void* value) { Record(value, true); }

  std::vector<Delivery> deliveries;
  std::function<void(FlowEvent&)> onDelivery;
  bool keep = true;

 private:
  void Record(void* value, bool forwarded) {
    FlowEvent& event = *static_cast<FlowEvent*>(value);
    if (keep) deliveries.push_back(Read(event, forwarded));
    if (onDelivery) onDelivery(event);
  }

  Delivery Read(FlowEvent& event, bool forwarded) const {
    Delivery delivery;
    delivery.event = &event;
    delivery.setup = event.setup;
    delivery.currentInput = currentInput;
    delivery.forwarded = forwarded;
    delivery.adcChannel = Property(event, "ADCChannel");
    delivery.adcValue = Property(event, "ADCValue");
    delivery.tdcChannel = Property(event, "TDCChannel");
    delivery.tdcValue = Property(event, "TDCValue");
    delivery.listing = event.str();
    return delivery;
  }

  // A tag-20 property read as a receiver reads it, as signed 16-bit numbers.
  static Values Property(FlowEvent& event, const std::string& propertyName) {
    Values values;
    const auto entry = event.find(propertyName);
    if (entry == event.end() || entry->second.type != kx_vshort) return values;
    for (short element : *static_cast<const std::vector<short>*>(entry->second.value)) {
      values.push_back(static_cast<uint16_t>(element));
    }
    return values;
  }
};

class UKMidasFileTest : public testing::Test {
 protected:
  void SetUp() override { unsetenv(kDataDirectoryVariable); }
  void TearDown() override { unsetenv(kDataDirectoryVariable); }

  // The events, each after its event-start token, and a closing event-start token, so that the
  // reader returns an empty event first and then every event written.
  std::string WriteRun(const std::string& fileName, const std::vector<SentEvent>& events,
                       bool closingStart = true) {
    const std::string path = folder.Path(fileName);
    std::ofstream file(path, std::ios::binary);
    MidasFileWriter writer(file);
    for (const SentEvent& event : events) writer.AddEvent(ToWriterEvent(event));
    if (closingStart) writer.AddToken(tokens::EventStart(0));
    writer.EndBlock();
    return path;
  }

  std::string WriteText(const std::string& fileName, const std::string& text) {
    const std::string path = folder.Path(fileName);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // A node that the test owns; the node leaves its FlowEvent to the test as well.
  UKMidasFile& NewNode(const std::string& nodeName = "src") {
    std::string instanceName = nodeName;
    nodes.push_back(std::make_unique<UKMidasFile>(instanceName));
    UKMidasFile& node = *nodes.back();
    nodeEvents.emplace_back(node.flowEvent);
    node.pauseFor = [this](uint32_t microseconds) { pauses.push_back(microseconds); };
    return node;
  }

  // A node with `fileName` selected, initialised and connected to `receiver`; console cleared.
  UKMidasFile& ConnectedNode(const std::string& path, RecordingReceiver& receiver) {
    UKMidasFile& node = NewNode();
    node.setFilename(path.c_str());
    node.Init();
    node.AddReceiver(0, &receiver, 0);
    receiver.deliveries.clear();
    console.TakeOut();
    console.TakeErr();
    return node;
  }

  static void Deliver(KXBase& node, const std::string& inputName, void* value) {
    KXBase::Input& input = node.GetInputs()[node.GetNumberForInput(inputName)];
    (node.*input.callback)(value);
  }

  static void ExpectSent(const Delivery& delivery, const SentEvent& expected) {
    EXPECT_FALSE(delivery.setup);
    EXPECT_EQ(delivery.adcChannel, Channels(expected.adc));
    EXPECT_EQ(delivery.adcValue, ValuesOf(expected.adc));
    EXPECT_EQ(delivery.tdcChannel, Channels(expected.tdc));
    EXPECT_EQ(delivery.tdcValue, ValuesOf(expected.tdc));
  }

  // The reader's first event, before the first event-start token, then `events` in order.
  static void ExpectSentRun(const std::vector<Delivery>& deliveries,
                            const std::vector<SentEvent>& events) {
    ASSERT_EQ(deliveries.size(), events.size() + 1);
    ExpectSent(deliveries[0], SentEvent());
    for (size_t i = 0; i < events.size(); ++i) ExpectSent(deliveries[i + 1], events[i]);
  }

  ConsoleCapture console;
  ScratchFolder folder;
  std::vector<uint32_t> pauses;
  std::vector<std::unique_ptr<FlowEvent>> nodeEvents;
  std::vector<std::unique_ptr<UKMidasFile>> nodes;
};

// ---- Entry points and set-up -------------------------------------------------------------------

TEST_F(UKMidasFileTest, EntryPointsCreateAndDeleteTheNodeWithTheirLines) {
  std::string instanceName = "src";
  KXBase* node = newObject(instanceName);
  ASSERT_NE(node, nullptr);
  std::unique_ptr<FlowEvent> event(static_cast<UKMidasFile*>(node)->flowEvent);
  EXPECT_EQ(console.TakeOut(), "src instantiated\n");
  EXPECT_EQ(node->GetName(), "src");
  delObject(node);
  EXPECT_EQ(console.TakeOut(), "src deleted\n");
  delObject(nullptr);
  EXPECT_EQ(console.TakeOut(), "");
  EXPECT_EQ(console.TakeErr(), "");
}

TEST_F(UKMidasFileTest, PortsFollowTheTableInOrder) {
  UKMidasFile& node = NewNode();
  const std::vector<KXBase::Input>& inputs = node.GetInputs();
  ASSERT_EQ(inputs.size(), 4u);
  const char* names[] = {"steps", "interval", "file", "listfile"};
  const kx_type types[] = {kx_int, kx_float, kx_cstring, kx_cstring};
  const char* texts[] = {"How many events to read", "Pause between reads in s", "Filename",
                         "Name of ASCII file containing list of filenames"};
  for (size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(inputs[i].name, names[i]);
    EXPECT_EQ(inputs[i].type, types[i]);
    EXPECT_EQ(inputs[i].description, texts[i]);
    EXPECT_EQ(inputs[i].forwardCallback, inputs[i].callback);
  }
  // A host calls the setters themselves, converted to the base's callback type.
  EXPECT_EQ(inputs[0].callback, reinterpret_cast<KXBase::Callback>(&UKMidasFile::setSteps));
  EXPECT_EQ(inputs[1].callback, reinterpret_cast<KXBase::Callback>(&UKMidasFile::setInterval));
  EXPECT_EQ(inputs[2].callback, reinterpret_cast<KXBase::Callback>(&UKMidasFile::setFilename));
  EXPECT_EQ(inputs[3].callback,
            reinterpret_cast<KXBase::Callback>(&UKMidasFile::setListfilename));
  const std::vector<KXBase::Output>& outputs = node.GetOutputs();
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(outputs[0].name, "fevent");
  EXPECT_EQ(outputs[0].type, kx_flowevent);
  EXPECT_EQ(outputs[0].description, "Decoded FlowEvent");
}

TEST_F(UKMidasFileTest, ConstructionLeavesTheDefaults) {
  UKMidasFile& node = NewNode("reader7");
  EXPECT_EQ(console.TakeOut(), "reader7 instantiated\n");
  EXPECT_EQ(node.GetName(), "reader7");
  EXPECT_EQ(node.steps, 0u);
  EXPECT_EQ(node.interval, 0.0);
  EXPECT_EQ(node.dataDirectory, "");
  EXPECT_EQ(node.filename, "");
  EXPECT_FALSE(node.fileOpen);
  EXPECT_FALSE(node.tudaData.fFile.is_open());
  ASSERT_NE(node.flowEvent, nullptr);
  EXPECT_TRUE(node.flowEvent->empty());
  EXPECT_FALSE(node.flowEvent->setup);
}

TEST_F(UKMidasFileTest, DataDirectoryIsTakenVerbatim) {
  setenv(kDataDirectoryVariable, "/data/run/", 1);
  EXPECT_EQ(NewNode().dataDirectory, "/data/run/");
  setenv(kDataDirectoryVariable, "/data/run", 1);
  EXPECT_EQ(NewNode().dataDirectory, "/data/run");
}

TEST_F(UKMidasFileTest, StepsAndIntervalArriveThroughTheirInputs) {
  UKMidasFile& node = NewNode();
  int steps = -1;
  float interval = 0.25f;
  Deliver(node, "steps", &steps);
  Deliver(node, "interval", &interval);
  EXPECT_EQ(node.steps, 4294967295u);
  EXPECT_EQ(node.interval, 0.25);
  steps = 100;
  Deliver(node, "steps", &steps);
  EXPECT_EQ(node.steps, 100u);
}

// ---- Set-up hand-over --------------------------------------------------------------------------

TEST_F(UKMidasFileTest, ConnectingHandsTheEventOverOnceWithSetupRaisedForTheCall) {
  UKMidasFile& node = NewNode();
  node.Init();
  RecordingReceiver receiver("dst");
  node.AddReceiver(0, &receiver, 0);
  ASSERT_EQ(receiver.deliveries.size(), 1u);
  const Delivery& delivery = receiver.deliveries[0];
  EXPECT_EQ(delivery.event, node.flowEvent);
  EXPECT_TRUE(delivery.setup);
  EXPECT_EQ(delivery.currentInput, 0);
  EXPECT_EQ(delivery.listing, kTypeListing);
  EXPECT_FALSE(node.flowEvent->setup);
  ASSERT_EQ(node.GetOutputs()[0].receivers.size(), 1u);
  EXPECT_EQ(node.GetOutputs()[0].receivers[0], &receiver);
  EXPECT_EQ(console.TakeErr(), "");
}

TEST_F(UKMidasFileTest, EachConnectionHasItsOwnHandOverAtItsInput) {
  UKMidasFile& node = NewNode();
  RecordingReceiver first("first");
  RecordingReceiver second("second", 3);
  node.AddReceiver(0, &first, 0);
  node.AddReceiver(0, &second, 2);
  ASSERT_EQ(first.deliveries.size(), 1u);
  ASSERT_EQ(second.deliveries.size(), 1u);
  EXPECT_EQ(second.deliveries[0].currentInput, 2);
  EXPECT_TRUE(second.deliveries[0].setup);
}

TEST_F(UKMidasFileTest, ReceiverConnectedBeforeInitSeesNoProperties) {
  UKMidasFile& node = NewNode();
  RecordingReceiver receiver("dst");
  node.AddReceiver(0, &receiver, 0);
  ASSERT_EQ(receiver.deliveries.size(), 1u);
  EXPECT_EQ(receiver.deliveries[0].listing, "");
  EXPECT_TRUE(node.flowEvent->empty());
}

TEST_F(UKMidasFileTest, HandOverFollowsAForwardingInput) {
  UKMidasFile& node = NewNode();
  RecordingReceiver forwarder("forwarder");
  RecordingReceiver target("target");
  KXBase::Input& input = forwarder.GetInputs()[0];
  input.forwardCallback = static_cast<KXBase::Callback>(&RecordingReceiver::Forwarded);
  input.forwardTarget = &target;
  node.AddReceiver(0, &forwarder, 0);
  EXPECT_TRUE(forwarder.deliveries.empty());
  ASSERT_EQ(target.deliveries.size(), 1u);
  EXPECT_TRUE(target.deliveries[0].forwarded);
  EXPECT_TRUE(target.deliveries[0].setup);
}

TEST_F(UKMidasFileTest, SetFlowEventAdoptsARaisedEventAndPassesItOn) {
  UKMidasFile& node = NewNode();
  RecordingReceiver receiver("dst");
  node.AddReceiver(0, &receiver, 0);
  FlowEvent shared;
  shared["Other"] = FlowProperty();
  shared.setup = true;
  node.setFlowEvent(&shared);
  EXPECT_EQ(node.flowEvent, &shared);
  ASSERT_EQ(receiver.deliveries.size(), 2u);
  EXPECT_EQ(receiver.deliveries[1].event, &shared);
  EXPECT_EQ(receiver.deliveries[1].listing,
            "ADCChannel:\tvector<short>\n"
            "ADCValue:\tvector<short>\n"
            "Other:\t\n"
            "TDCChannel:\tvector<short>\n"
            "TDCValue:\tvector<short>\n");
  EXPECT_EQ(shared["ADCChannel"].value, &node.adcChannel);
}

TEST_F(UKMidasFileTest, SetFlowEventIgnoresALoweredEvent) {
  UKMidasFile& node = NewNode();
  FlowEvent* own = node.flowEvent;
  RecordingReceiver receiver("dst");
  node.AddReceiver(0, &receiver, 0);
  FlowEvent lowered;
  node.setFlowEvent(&lowered);
  EXPECT_EQ(node.flowEvent, own);
  EXPECT_TRUE(lowered.empty());
  EXPECT_EQ(receiver.deliveries.size(), 1u);
}

// ---- File selection ----------------------------------------------------------------------------

TEST_F(UKMidasFileTest, NameThatOpensDirectly) {
  const std::string path = WriteRun("run.dat", NumberedEvents(1));
  UKMidasFile& node = NewNode();
  console.TakeOut();
  Deliver(node, "file", const_cast<char*>(path.c_str()));
  EXPECT_EQ(console.TakeOut(), "src: Opening " + path + "\nOpenDataFile: Opened data file " + path + "\n");
  EXPECT_EQ(console.TakeErr(), "");
  EXPECT_EQ(node.filename, path);
  EXPECT_TRUE(node.fileOpen);
}

TEST_F(UKMidasFileTest, NameThatOpensOnlyInTheDataDirectoryThenReset) {
  WriteRun("only-in-data-directory.dat", NumberedEvents(1));
  setenv(kDataDirectoryVariable, folder.Path().c_str(), 1);
  UKMidasFile& node = NewNode();
  console.TakeOut();
  const std::string joined = folder.Path("only-in-data-directory.dat");
  node.setFilename("only-in-data-directory.dat");
  EXPECT_EQ(console.TakeOut(), "src: Opening only-in-data-directory.dat\nfilename " + joined +
                                   "\nOpenDataFile: Opened data file " + joined + "\n");
  EXPECT_EQ(console.TakeErr(),
            "OpenDataFile: ERROR - Could not find file only-in-data-directory.dat\n");
  EXPECT_EQ(node.filename, joined);
  EXPECT_TRUE(node.fileOpen);

  node.Reset();
  EXPECT_EQ(console.TakeOut(),
            "src: Opening " + joined + "\nOpenDataFile: Opened data file " + joined + "\n");
  EXPECT_EQ(console.TakeErr(), "");
}

TEST_F(UKMidasFileTest, DataDirectoryWithTrailingSlashDoublesIt) {
  WriteRun("x.dat", NumberedEvents(1));
  const std::string directory = folder.Path() + "/";
  setenv(kDataDirectoryVariable, directory.c_str(), 1);
  UKMidasFile& node = NewNode();
  node.setFilename("x.dat");
  EXPECT_EQ(node.filename, folder.Path() + "//x.dat");
  EXPECT_TRUE(node.fileOpen);
}

TEST_F(UKMidasFileTest, NameThatOpensNowhereThenReset) {
  setenv(kDataDirectoryVariable, "/nonexistent-d", 1);
  UKMidasFile& node = NewNode();
  console.TakeOut();
  node.setFilename("missing.dat");
  EXPECT_EQ(console.TakeOut(),
            "src: Opening missing.dat\nfilename /nonexistent-d/missing.dat\n"
            "MidasFile: missing.dat not found.\n");
  EXPECT_EQ(console.TakeErr(),
            "OpenDataFile: ERROR - Could not find file missing.dat\n"
            "OpenDataFile: ERROR - Could not find file /nonexistent-d/missing.dat\n");
  EXPECT_EQ(node.filename, "/nonexistent-d/missing.dat");
  EXPECT_FALSE(node.fileOpen);

  node.Reset();
  EXPECT_EQ(console.TakeOut(),
            "src: Opening /nonexistent-d/missing.dat\n"
            "filename /nonexistent-d//nonexistent-d/missing.dat\n"
            "MidasFile: /nonexistent-d/missing.dat not found.\n");
  EXPECT_EQ(node.filename, "/nonexistent-d//nonexistent-d/missing.dat");
}

TEST_F(UKMidasFileTest, EmptyDataDirectoryJoinsWithASlashAlone) {
  UKMidasFile& node = NewNode();
  node.setFilename("missing.dat");
  EXPECT_EQ(node.filename, "/missing.dat");
  EXPECT_FALSE(node.fileOpen);
}

TEST_F(UKMidasFileTest, FailedSelectionClosesTheFileOpenBefore) {
  const std::string path = WriteRun("run.dat", NumberedEvents(1));
  UKMidasFile& node = NewNode();
  node.setFilename(path.c_str());
  node.setFilename("missing.dat");
  EXPECT_FALSE(node.fileOpen);
  EXPECT_FALSE(node.tudaData.fFile.is_open());
}

TEST_F(UKMidasFileTest, ListFileSelectsItsFirstLineOnly) {
  const std::string first = WriteRun("first.dat", NumberedEvents(1));
  const std::string second = WriteRun("second.dat", NumberedEvents(2));
  const std::string list = WriteText("runs.list", first + "\n" + second + "\n");
  UKMidasFile& node = NewNode();
  console.TakeOut();
  Deliver(node, "listfile", const_cast<char*>(list.c_str()));
  EXPECT_EQ(console.TakeOut(),
            "src: Opening " + first + "\nOpenDataFile: Opened data file " + first + "\n");
  EXPECT_EQ(node.filename, first);
  EXPECT_TRUE(node.listFile.is_open());

  node.setFilename(second.c_str());
  node.setListfilename(list.c_str());
  EXPECT_EQ(node.filename, first);
}

TEST_F(UKMidasFileTest, ListFileLineIsTakenVerbatim) {
  const std::string path = WriteRun("run.dat", NumberedEvents(1));
  UKMidasFile& node = NewNode();
  node.setListfilename(WriteText("crlf.list", path + "\r\nother\r\n").c_str());
  EXPECT_EQ(node.filename, "/" + path + "\r");
  EXPECT_FALSE(node.fileOpen);
  node.setListfilename(WriteText("unterminated.list", path).c_str());
  EXPECT_EQ(node.filename, path);
  EXPECT_TRUE(node.fileOpen);
}

TEST_F(UKMidasFileTest, EmptyFirstLineSelectsTheEmptyName) {
  const std::string path = WriteRun("run.dat", NumberedEvents(1));
  setenv(kDataDirectoryVariable, folder.Path("absent").c_str(), 1);
  UKMidasFile& node = NewNode();
  console.TakeOut();
  node.setListfilename(WriteText("empty-first.list", "\n" + path + "\n").c_str());
  EXPECT_EQ(console.TakeOut(),
            "src: Opening \nfilename " + folder.Path() + "/absent/\nMidasFile:  not found.\n");
  EXPECT_EQ(node.filename, folder.Path() + "/absent/");
  node.setListfilename(WriteText("empty.list", "").c_str());
  EXPECT_EQ(node.filename, folder.Path() + "/absent/");
  EXPECT_FALSE(node.fileOpen);
}

// ---- Run loop ----------------------------------------------------------------------------------

TEST_F(UKMidasFileTest, InitRegistersTheFourVectorsOnceEach) {
  UKMidasFile& node = NewNode();
  FlowEvent& event = *node.flowEvent;
  event["Other"] = FlowProperty(kx_int, FlowBinning(), &node.steps);
  node.Init();
  node.Init();
  ASSERT_EQ(event.size(), 5u);
  const std::pair<const char*, std::vector<uint16_t>*> expected[] = {
      {"ADCChannel", &node.adcChannel},
      {"ADCValue", &node.adcValue},
      {"TDCChannel", &node.tdcChannel},
      {"TDCValue", &node.tdcValue}};
  for (const auto& [propertyName, vector] : expected) {
    const FlowProperty& property = event[propertyName];
    EXPECT_EQ(property.type, kx_vshort) << propertyName;
    EXPECT_EQ(property.value, vector) << propertyName;
    EXPECT_EQ(property.hasBinning, 0) << propertyName;
    EXPECT_EQ(property.formula, nullptr) << propertyName;
  }
  EXPECT_EQ(event["Other"].value, &node.steps);
  EXPECT_EQ(console.TakeErr(), "");
}

TEST_F(UKMidasFileTest, RunSendsEveryEventThenEndsAtTheEndOfTheData) {
  const std::vector<SentEvent> events = NumberedEvents(10);
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", events), receiver);
  node.Start();
  EXPECT_EQ(console.TakeOut(), "src running: 0, 0\nStop()\n");
  EXPECT_EQ(console.TakeErr(), "");
  ExpectSentRun(receiver.deliveries, events);
  for (const Delivery& delivery : receiver.deliveries) EXPECT_EQ(delivery.event, node.flowEvent);
  EXPECT_TRUE(node.adcChannel.empty());
  EXPECT_TRUE(node.tdcValue.empty());
  EXPECT_TRUE(pauses.empty());
}

TEST_F(UKMidasFileTest, ValuesAreListedAsSignedShorts) {
  SentEvent event;
  event.adc = {{1, 100}, {12, 4095}};
  event.tdc = {{3, 40000}};
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", {event}), receiver);
  node.Start();
  ASSERT_EQ(receiver.deliveries.size(), 2u);
  EXPECT_EQ(receiver.deliveries[1].listing,
            "ADCChannel:\t   1   12 \n"
            "ADCValue:\t 100 4095 \n"
            "TDCChannel:\t   3 \n"
            "TDCValue:\t-25536 \n");
}

TEST_F(UKMidasFileTest, EventsWithoutAdcOrAnyItemsAreSentEmpty) {
  SentEvent tdcOnly;
  tdcOnly.tdc = {{7, 70}, {8, 80}};
  const std::vector<SentEvent> events = {tdcOnly, SentEvent(), NumberedEvent(2)};
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", events), receiver);
  node.Start();
  ExpectSentRun(receiver.deliveries, events);
}

TEST_F(UKMidasFileTest, StepsBoundEachStartAndTheReaderKeepsItsPlace) {
  const std::vector<SentEvent> events = NumberedEvents(10);
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", events), receiver);
  int steps = 3;
  Deliver(node, "steps", &steps);
  node.Start();
  EXPECT_EQ(console.TakeOut(), "src running: 3, 0\nStop()\n");
  ASSERT_EQ(receiver.deliveries.size(), 3u);
  EXPECT_EQ(node.adcChannel, Channels(events[1].adc));
  node.Start();
  ASSERT_EQ(receiver.deliveries.size(), 6u);
  ExpectSent(receiver.deliveries[3], events[2]);
  ExpectSent(receiver.deliveries[5], events[4]);
}

TEST_F(UKMidasFileTest, StepsBeyondTheDataEndAtTheMissingEvent) {
  const std::vector<SentEvent> events = NumberedEvents(9);
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", events), receiver);
  int steps = 20;
  Deliver(node, "steps", &steps);
  node.Start();
  ExpectSentRun(receiver.deliveries, events);
  EXPECT_EQ(console.TakeOut(), "src running: 20, 0\nStop()\n");
}

TEST_F(UKMidasFileTest, RunningLineShowsStepsBitForBitAndTheFloatInterval) {
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", NumberedEvents(2)), receiver);
  int steps = -1;
  float interval = 0.7f;
  Deliver(node, "steps", &steps);
  Deliver(node, "interval", &interval);
  std::cout << std::hex << std::setprecision(2);
  node.Start();
  std::cout << std::dec << std::setprecision(6);
  EXPECT_EQ(console.TakeOut(), "src running: 4294967295, 0.7\nStop()\n");
  EXPECT_EQ(receiver.deliveries.size(), 3u);
  EXPECT_EQ(pauses, (std::vector<uint32_t>{699999, 699999, 699999}));
}

TEST_F(UKMidasFileTest, RunWithoutADataFileSendsNothing) {
  RecordingReceiver receiver("dst");
  UKMidasFile& node = NewNode();
  node.Init();
  node.AddReceiver(0, &receiver, 0);
  console.TakeOut();
  node.Start();
  EXPECT_EQ(console.TakeOut(), "src running: 0, 0\nStop()\n");
  EXPECT_EQ(receiver.deliveries.size(), 1u);
}

TEST_F(UKMidasFileTest, ResetMidBlockDecodesTheRestOfTheBlockFirst) {
  const std::vector<SentEvent> events = NumberedEvents(3);
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", events), receiver);
  int steps = 2;
  Deliver(node, "steps", &steps);
  node.Start();
  node.Reset();
  steps = 0;
  Deliver(node, "steps", &steps);
  node.Start();
  ASSERT_EQ(receiver.deliveries.size(), 8u);
  ExpectSent(receiver.deliveries[2], events[1]);
  ExpectSent(receiver.deliveries[3], events[2]);
  ExpectSent(receiver.deliveries[4], SentEvent());
  ExpectSent(receiver.deliveries[5], events[0]);
  ExpectSent(receiver.deliveries[7], events[2]);
}

TEST_F(UKMidasFileTest, ResetAfterTheEndReadsAgainWithTheHeldOverItems) {
  const std::vector<SentEvent> events = NumberedEvents(2);
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", events, false), receiver);
  node.Start();
  ASSERT_EQ(receiver.deliveries.size(), 2u);
  node.Start();
  EXPECT_EQ(receiver.deliveries.size(), 2u);
  node.Reset();
  node.Start();
  ASSERT_EQ(receiver.deliveries.size(), 4u);
  ExpectSent(receiver.deliveries[2], events[1]);
  ExpectSent(receiver.deliveries[3], events[0]);
}

TEST_F(UKMidasFileTest, StopFromAReceiverEndsTheRunAfterThatIteration) {
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", NumberedEvents(10)), receiver);
  float interval = 0.5f;
  Deliver(node, "interval", &interval);
  receiver.onDelivery = [&](FlowEvent&) {
    if (receiver.deliveries.size() == 3) node.Stop();
  };
  node.Start();
  EXPECT_EQ(receiver.deliveries.size(), 3u);
  EXPECT_EQ(pauses, (std::vector<uint32_t>{500000, 500000, 500000}));
  EXPECT_EQ(console.TakeOut(), "src running: 0, 0.5\nStop()\n");
  node.Start();
  EXPECT_EQ(receiver.deliveries.size(), 11u);
}

TEST_F(UKMidasFileTest, StepsAreReadAfreshEveryIteration) {
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", NumberedEvents(10)), receiver);
  receiver.onDelivery = [&](FlowEvent&) {
    if (receiver.deliveries.size() == 2) node.steps = 4;
  };
  node.Start();
  EXPECT_EQ(console.TakeOut(), "src running: 0, 0\nStop()\n");
  EXPECT_EQ(receiver.deliveries.size(), 4u);
}

TEST_F(UKMidasFileTest, StopWhileIdleDoesNotAffectTheNextRun) {
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", NumberedEvents(2)), receiver);
  node.Stop();
  node.Start();
  EXPECT_EQ(receiver.deliveries.size(), 3u);
}

TEST_F(UKMidasFileTest, PauseFollowsEverySentEventButNotTheMissingOne) {
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", NumberedEvents(2)), receiver);
  receiver.onDelivery = [&](FlowEvent&) { EXPECT_EQ(pauses.size() + 1, receiver.deliveries.size()); };
  float interval = 0.5f;
  Deliver(node, "interval", &interval);
  node.Start();
  EXPECT_EQ(pauses, (std::vector<uint32_t>{500000, 500000, 500000}));
}

TEST_F(UKMidasFileTest, PauseLengthRule) {
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(0.5), 500000u);
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(0.7f), 699999u);
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(2.5e-6), 2u);
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(4000.0), 4000000000u);
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(0.0), 0u);
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(4.0e-7), 0u);
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(-1.0), 0u);
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(std::nan("")), 0u);
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(4294.967296), 4294967295u);
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(1.0e12), 4294967295u);
  EXPECT_EQ(UKMidasFile::PauseMicroseconds(std::numeric_limits<double>::infinity()),
            4294967295u);
}

TEST_F(UKMidasFileTest, ZeroNegativeAndNanIntervalsMakeNoPauseCall) {
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", NumberedEvents(2)), receiver);
  for (float interval : {0.0f, -0.5f, std::nanf("")}) {
    Deliver(node, "interval", &interval);
    node.Reset();
    node.Start();
  }
  EXPECT_EQ(receiver.deliveries.size(), 9u);
  EXPECT_TRUE(pauses.empty());
}

TEST_F(UKMidasFileTest, NoAllocationOnceTheLargestEventHasBeenSeen) {
  std::vector<SentEvent> events;
  SentEvent largest;
  for (unsigned i = 0; i < 30; ++i) largest.adc.push_back({i, static_cast<uint16_t>(i)});
  for (unsigned i = 0; i < 20; ++i) largest.tdc.push_back({i, static_cast<uint16_t>(i)});
  events.push_back(largest);
  for (unsigned n = 0; n < 2000; ++n) events.push_back(NumberedEvent(1 + n % 29));
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", events), receiver);
  std::vector<size_t> countAtDelivery;
  countAtDelivery.reserve(events.size() + 1);
  uint64_t sum = 0;
  receiver.keep = false;
  receiver.onDelivery = [&](FlowEvent&) {
    for (uint16_t value : node.adcValue) sum += value;
    countAtDelivery.push_back(allocationCount);
  };
  node.Start();
  const size_t countAtEnd = allocationCount;
  ASSERT_EQ(countAtDelivery.size(), events.size() + 1);
  EXPECT_GT(node.tudaData.fBlocksRead, 2u);
  EXPECT_NE(sum, 0u);
  // Deliveries 0 and 1 are the empty first event and the largest one.
  EXPECT_EQ(countAtDelivery.back(), countAtDelivery[1]);
  EXPECT_EQ(countAtEnd, countAtDelivery[1]);
}

// ---- Error paths -------------------------------------------------------------------------------

TEST_F(UKMidasFileTest, AddReceiverRefusesANullReceiver) {
  UKMidasFile& node = NewNode();
  node.AddReceiver(0, nullptr, 0);
  EXPECT_EQ(console.TakeErr(), "AddReceiver: ERROR - no receiving node, input 0, node src\n");
  EXPECT_TRUE(node.GetOutputs()[0].receivers.empty());
}

TEST_F(UKMidasFileTest, AddReceiverRefusesAnInputTheReceiverLacks) {
  UKMidasFile& node = NewNode();
  RecordingReceiver receiver("dst", 2);
  node.AddReceiver(0, &receiver, 2);
  node.AddReceiver(0, &receiver, -1);
  EXPECT_EQ(console.TakeErr(),
            "AddReceiver: ERROR - receiver dst has no such input, input 2, node src\n"
            "AddReceiver: ERROR - receiver dst has no such input, input -1, node src\n");
  EXPECT_TRUE(receiver.deliveries.empty());
  EXPECT_TRUE(node.GetOutputs()[0].receivers.empty());
  EXPECT_FALSE(node.flowEvent->setup);
}

TEST_F(UKMidasFileTest, AddReceiverRefusesAnInputThatForwardsToNoNode) {
  UKMidasFile& node = NewNode();
  RecordingReceiver receiver("dst");
  receiver.GetInputs()[0].forwardCallback =
      static_cast<KXBase::Callback>(&RecordingReceiver::Forwarded);
  node.AddReceiver(0, &receiver, 0);
  EXPECT_EQ(console.TakeErr(),
            "AddReceiver: ERROR - receiver dst forwards to no node, input 0, node src\n");
  EXPECT_TRUE(node.GetOutputs()[0].receivers.empty());
}

TEST_F(UKMidasFileTest, AddReceiverRefusesAnInputWithoutCallback) {
  UKMidasFile& node = NewNode();
  RecordingReceiver receiver("dst");
  receiver.GetInputs()[0].callback = nullptr;
  receiver.GetInputs()[0].forwardCallback = nullptr;
  node.AddReceiver(0, &receiver, 0);
  EXPECT_EQ(console.TakeErr(),
            "AddReceiver: ERROR - receiver dst has no callback for it, input 0, node src\n");
}

TEST_F(UKMidasFileTest, InputWithoutValueIsRefused) {
  UKMidasFile& node = NewNode();
  for (const char* input : {"steps", "interval", "file", "listfile"}) {
    Deliver(node, input, nullptr);
  }
  EXPECT_EQ(console.TakeErr(),
            "SetInput: ERROR - no value, input steps of node src\n"
            "SetInput: ERROR - no value, input interval of node src\n"
            "SetInput: ERROR - no value, input file of node src\n"
            "SetInput: ERROR - no value, input listfile of node src\n");
  EXPECT_EQ(node.steps, 0u);
  EXPECT_EQ(node.filename, "");
}

TEST_F(UKMidasFileTest, ListFileThatDoesNotOpenKeepsTheSelection) {
  const std::string path = WriteRun("run.dat", NumberedEvents(1));
  UKMidasFile& node = NewNode();
  node.setFilename(path.c_str());
  console.TakeOut();
  node.setListfilename("/nonexistent-d/runs.list");
  EXPECT_EQ(console.TakeErr(),
            "ERROR - Could not open UK MIDAS file list /nonexistent-d/runs.list\n");
  EXPECT_EQ(console.TakeOut(), "");
  EXPECT_EQ(node.filename, path);
  EXPECT_TRUE(node.fileOpen);
}

TEST_F(UKMidasFileTest, ExceptionFromAReceiverEndsTheRunInsideTheNode) {
  RecordingReceiver receiver("dst");
  UKMidasFile& node = ConnectedNode(WriteRun("run.dat", NumberedEvents(10)), receiver);
  receiver.onDelivery = [&](FlowEvent&) {
    if (receiver.deliveries.size() == 2) throw std::runtime_error("receiver failed");
  };
  node.Start();
  EXPECT_EQ(console.TakeErr(), "Start: ERROR - receiver failed, node src\n");
  EXPECT_EQ(console.TakeOut(), "src running: 0, 0\nStop()\n");
  EXPECT_EQ(receiver.deliveries.size(), 2u);

  // The failed event was emptied all the same: the next run starts with the event after it.
  receiver.onDelivery = nullptr;
  node.steps = 1;
  node.Start();
  ASSERT_EQ(receiver.deliveries.size(), 3u);
  ExpectSent(receiver.deliveries[2], NumberedEvent(2));
}

TEST_F(UKMidasFileTest, ExceptionFromAReceiverDuringHandOverLowersSetupAgain) {
  UKMidasFile& node = NewNode();
  RecordingReceiver receiver("dst");
  receiver.onDelivery = [](FlowEvent&) { throw std::runtime_error("receiver failed"); };
  node.AddReceiver(0, &receiver, 0);
  EXPECT_EQ(console.TakeErr(), "AddReceiver: ERROR - receiver failed, node src\n");
  ASSERT_EQ(receiver.deliveries.size(), 1u);
  EXPECT_TRUE(receiver.deliveries[0].setup);
  EXPECT_FALSE(node.flowEvent->setup);
}

}  // namespace
