#include "plugin/UKMidasFile.h"

#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <iterator>
#include <limits>
#include <sstream>

namespace {

constexpr const char* kDescription = "Read one or several UKMidas files";
constexpr const char* kBaseName = "NoName";
constexpr double kMicrosecondsPerSecond = 1000000.0;
constexpr double kPauseCountLimit = 4294967296.0;  // 2 to the 32: the first count that does not fit

// Nothing leaves the plug-in as an exception, not even one thrown by a receiver during a send:
// it is reported and the operation abandoned.
template <typename Body>
void Guarded(const std::string& node, const char* operation, Body&& body) noexcept {
  try {
    body();
  } catch (const std::exception& failure) {
    std::cerr << operation << ": ERROR - " << failure.what() << ", node " << node << std::endl;
  } catch (...) {
    std::cerr << operation << ": ERROR - unknown exception, node " << node << std::endl;
  }
}

// Runs its action when the scope ends, however it ends: the set-up flag comes down and the
// reader's event is emptied even when a receiver throws.
template <typename Action>
class OnScopeExit {
 public:
  explicit OnScopeExit(Action action) : action(action) {}
  OnScopeExit(const OnScopeExit&) = delete;
  OnScopeExit& operator=(const OnScopeExit&) = delete;
  ~OnScopeExit() { action(); }

 private:
  Action action;
};

void SleepMicroseconds(uint32_t microseconds) { usleep(microseconds); }

// Walks one 16-bit field of the items of a list, in list order. Appending a list through it
// checks the vector's capacity once and writes each element once: no zero-filling first, as a
// resize would do.
template <typename Item, unsigned short Item::*kField>
class FieldReader {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = uint16_t;
  using difference_type = std::ptrdiff_t;
  using pointer = const uint16_t*;
  using reference = uint16_t;

  FieldReader() = default;
  explicit FieldReader(const Item* item) : item(item) {}

  uint16_t operator*() const { return item->*kField; }
  FieldReader& operator++() {
    ++item;
    return *this;
  }
  FieldReader operator++(int) {
    const FieldReader before = *this;
    ++item;
    return before;
  }
  bool operator==(const FieldReader& other) const { return item == other.item; }
  bool operator!=(const FieldReader& other) const { return item != other.item; }

 private:
  const Item* item = nullptr;
};

template <typename Item, unsigned short Item::*kField>
void AppendField(const std::vector<Item>& items, std::vector<uint16_t>& to) {
  using Reader = FieldReader<Item, kField>;
  to.insert(to.end(), Reader(items.data()), Reader(items.data() + items.size()));
}

// Appends the channels and values of one item list, in list order.
template <typename Item>
void CopyItems(const std::vector<Item>& items, std::vector<uint16_t>& channels,
               std::vector<uint16_t>& values) {
  AppendField<Item, &Item::channel>(items, channels);
  AppendField<Item, &Item::value>(items, values);
}

}  // namespace

// ---- Set-up ------------------------------------------------------------------------------------

// A setter converted to the base's callback type, as the host's port records hold callbacks: the
// host calls it on this node with the address of a value of the setter's own type.
template <typename Value>
KXBase::Callback AsCallback(void (UKMidasFile::*setter)(Value*)) {
  return reinterpret_cast<KXBase::Callback>(setter);
}

UKMidasFile::UKMidasFile(std::string& instanceName)
    : KXBase(nullptr, kBaseName),
      steps(0),
      interval(0.0),
      flowEvent(nullptr),
      fileOpen(false),
      pauseFor(SleepMicroseconds) {
  name = instanceName;
  description = kDescription;
  std::cout << name << " instantiated" << std::endl;
  inputs.push_back(KXBase::Input(kStepsInput, AsCallback(&UKMidasFile::setSteps), kx_int,
                                 "How many events to read"));
  inputs.push_back(KXBase::Input(kIntervalInput, AsCallback(&UKMidasFile::setInterval), kx_float,
                                 "Pause between reads in s"));
  inputs.push_back(
      KXBase::Input(kFileInput, AsCallback(&UKMidasFile::setFilename), kx_cstring, "Filename"));
  inputs.push_back(KXBase::Input(kListFileInput, AsCallback(&UKMidasFile::setListfilename),
                                 kx_cstring, "Name of ASCII file containing list of filenames"));
  outputs.push_back(KXBase::Output(kEventOutputName, kx_flowevent, "Decoded FlowEvent"));
  flowEvent = new FlowEvent();
  dataDirectory = DataDirectoryNow();
}

// The FlowEvent stays: receivers may still hold its address.
UKMidasFile::~UKMidasFile() {
  listFile.close();
  std::cout << name << " deleted" << std::endl;
}

// The setters are the inputs' callbacks: a value the host failed to give is refused, not read.
bool UKMidasFile::HasValue(const void* value, const char* input) const {
  if (value == nullptr) {
    std::cerr << "SetInput: ERROR - no value, input " << input << " of node " << name << std::endl;
  }
  return value != nullptr;
}

// Bit for bit: -1 becomes 4294967295.
void UKMidasFile::setSteps(int* value) {
  if (HasValue(value, kStepsInput)) steps = static_cast<uint32_t>(*value);
}

void UKMidasFile::setInterval(float* value) {
  if (HasValue(value, kIntervalInput)) interval = *value;
}

// ---- Connections -------------------------------------------------------------------------------

// A receiver without the input, or no receiver at all, is refused before the base records
// anything, so no connection exists that could not be delivered to.
void UKMidasFile::AddReceiver(int output, KXBase* receiver, int input) {
  const std::string fault = ConnectionFault(receiver, input);
  if (!fault.empty()) {
    std::cerr << "AddReceiver: ERROR - " << fault << ", input " << input << ", node " << name
              << std::endl;
    return;
  }
  Guarded(name, "AddReceiver", [&] {
    KXBase::AddReceiver(output, receiver, input);
    HandOver(receiver, input);
  });
}

std::string UKMidasFile::ConnectionFault(KXBase* receiver, int input) {
  if (receiver == nullptr) return "no receiving node";
  const std::string receiverName = "receiver " + receiver->GetName();
  const std::vector<KXBase::Input>& receiverInputs = receiver->GetInputs();
  if (input < 0 || static_cast<size_t>(input) >= receiverInputs.size()) {
    return receiverName + " has no such input";
  }
  const KXBase::Input& record = receiverInputs[input];
  const bool forwards = record.forwardCallback != record.callback;
  if (forwards && record.forwardTarget == nullptr) return receiverName + " forwards to no node";
  if ((forwards ? record.forwardCallback : record.callback) == nullptr) {
    return receiverName + " has no callback for it";
  }
  return std::string();
}

// Delivers the event as the framework delivers any input value, with the set-up flag raised
// for the length of the call only.
void UKMidasFile::HandOver(KXBase* receiver, int input) {
  KXBase::Input& record = receiver->GetInputs()[input];
  flowEvent->setup = true;
  const OnScopeExit lowerSetup([event = flowEvent] { event->setup = false; });
  // The receiver's own protected member, reached through this class as the language allows.
  receiver->*(&UKMidasFile::currentInput) = input;
  if (record.forwardCallback == record.callback) {
    (receiver->*record.callback)(flowEvent);
  } else {
    (record.forwardTarget->*record.forwardCallback)(flowEvent);
  }
}

void UKMidasFile::setFlowEvent(FlowEvent* event) {
  if (event == nullptr || !event->setup) return;
  flowEvent = event;
  Init();
  Guarded(name, "setFlowEvent", [&] { SendOutput(0, flowEvent); });
}

// ---- File selection ----------------------------------------------------------------------------

void UKMidasFile::setFilename(const char* requested) {
  if (HasValue(requested, kFileInput)) Guarded(name, "SetInput", [&] { SelectFile(requested); });
}

void UKMidasFile::SelectFile(const char* requested) {
  // A copy first: `requested` may point into `filename` itself.
  const std::string asPassed = requested;
  const auto tryPath = [this](const std::string& path, bool inDataDirectory) {
    filename = path;
    std::cout << (inDataDirectory ? std::string("filename ") : name + ": Opening ") << filename << std::endl;
    return OpenCurrentFile();
  };
  if (LookUpDataFile(asPassed, dataDirectory, tryPath).empty()) {
    std::cout << "MidasFile: " << asPassed << " not found." << std::endl;
  }
}

bool UKMidasFile::OpenCurrentFile() {
  tudaData.OpenDataFile(filename.c_str());
  fileOpen = tudaData.IsOpen();
  return fileOpen;
}

// Only the first line names a data file; it is taken as it stands, carriage return and all.
void UKMidasFile::setListfilename(const char* listName) {
  if (HasValue(listName, kListFileInput)) {
    Guarded(name, "SetInput", [&] { SelectFromList(listName); });
  }
}

void UKMidasFile::SelectFromList(const char* listName) {
  if (listFile.is_open()) listFile.close();
  listFile.open(listName);
  if (!listFile.is_open()) {
    std::cerr << "ERROR - Could not open UK MIDAS file list " << listName << std::endl;
    return;
  }
  std::string firstLine;
  std::getline(listFile, firstLine);
  SelectFile(firstLine.c_str());
}

void UKMidasFile::Reset() {
  const std::string current = filename;
  setFilename(current.c_str());
}

// ---- Run loop ----------------------------------------------------------------------------------

void UKMidasFile::Init() {
  Guarded(name, "Init", [&] {
    RegisterProperty(kAdcChannelName, adcChannel);
    RegisterProperty(kAdcValueName, adcValue);
    RegisterProperty(kTdcChannelName, tdcChannel);
    RegisterProperty(kTdcValueName, tdcValue);
    flowEvent->SetBinnings();
  });
}

void UKMidasFile::RegisterProperty(const char* propertyName, std::vector<uint16_t>& values) {
  (*flowEvent)[propertyName] = FlowProperty(kx_vshort, FlowBinning(), &values);
}

void UKMidasFile::Start() {
  // Built apart from the console stream, so that a stream left in another base or precision
  // by a diagnostic printout cannot change the line.
  std::ostringstream line;
  line << name << " running: " << steps << ", " << interval;
  std::cout << line.str() << std::endl;
  running = true;
  Guarded(name, "Start", [&] { RunLoop(); });
  running = false;
  std::cout << "Stop()" << std::endl;
}

// `steps` and `interval` are read afresh every iteration.
void UKMidasFile::RunLoop() {
  for (uint32_t iteration = 0; running && (steps == 0 || iteration < steps); ++iteration) {
    RunIteration();
  }
}

void UKMidasFile::RunIteration() {
  ClearVectors();
  TTudaEvent* event = tudaData.GetNextEvent();
  if (event == nullptr) {
    running = false;
    return;
  }
  CopyItems(event->GetAdcItems(), adcChannel, adcValue);
  CopyItems(event->GetTdcItems(), tdcChannel, tdcValue);
  {
    const OnScopeExit clearEvent([event] { event->Clear(nullptr); });
    SendOutput(0, flowEvent);
  }
  Pause();
}

// Storage is kept: the properties point at these vectors and no iteration allocates anew.
void UKMidasFile::ClearVectors() {
  adcChannel.clear();
  adcValue.clear();
  tdcChannel.clear();
  tdcValue.clear();
}

// A pause of 0 microseconds makes no call at all: a zero-length sleep still costs a trip
// through the scheduler, which would bound the loop far below the reader's speed.
void UKMidasFile::Pause() {
  const uint32_t microseconds = PauseMicroseconds(interval);
  if (microseconds != 0) pauseFor(microseconds);
}

uint32_t UKMidasFile::PauseMicroseconds(double seconds) {
  const double product = seconds * kMicrosecondsPerSecond;
  if (!(product > 0.0)) return 0;  // below zero, zero or NaN
  if (product >= kPauseCountLimit) return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(product);
}

// Safe from a signal handler: one atomic store.
void UKMidasFile::Stop() { running = false; }

// ---- Entry points ------------------------------------------------------------------------------

__attribute__((visibility("default"))) KXBase* newObject(std::string& name) {
  try {
    return new UKMidasFile(name);
  } catch (const std::exception& failure) {
    std::cerr << "newObject: ERROR - " << failure.what() << ", node " << name << std::endl;
    return nullptr;
  }
}

__attribute__((visibility("default"))) void delObject(void* object) {
  if (object == nullptr) return;
  delete static_cast<KXBase*>(object);
}
