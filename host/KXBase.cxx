#include "flow/KXBase.h"

#include <algorithm>
#include <iostream>

#include "host/ValueConversion.h"

namespace {

// Height of one row of ports in a node's drawing.
constexpr int kEntryHeight = 20;

template <typename Port>
int IndexNamed(const std::vector<Port>& ports, const std::string& portName) {
  for (size_t index = 0; index < ports.size(); ++index) {
    if (ports[index].name == portName) return static_cast<int>(index);
  }
  return -1;
}

template <typename Port, typename Keep>
std::vector<Port*> PointersTo(std::vector<Port>& ports, Keep keep) {
  std::vector<Port*> pointers;
  for (Port& port : ports) {
    if (keep(port)) pointers.push_back(&port);
  }
  return pointers;
}

constexpr auto kEveryPort = [](const auto&) { return true; };

}  // namespace

KXBase::Input::~Input() = default;

KXBase::KXBase(pluginHandle* handle, const std::string& name)
    : running(false), name(name), handle(handle), currentInput(-1) {}

KXBase::~KXBase() = default;

void KXBase::Init() {}

void KXBase::Reset() {}

// ---- Connections -------------------------------------------------------------------------

void KXBase::AddReceiver(const std::string& output, KXBase* receiver, const std::string& input) {
  int outputIndex = -1;
  int inputIndex = -1;
  if (FindPorts("AddReceiver", output, receiver, input, outputIndex, inputIndex)) {
    AddReceiver(outputIndex, receiver, inputIndex);
  }
}

void KXBase::AddReceiver(int output, KXBase* receiver, int input) {
  if (!CanConnect("AddReceiver", output, receiver, input)) return;
  if (FindReceiver(output, receiver, input) >= 0) {
    return ReportError("AddReceiver", Connection(output, receiver, input) + " exists already");
  }
  Output& port = outputs[output];
  port.receivers.push_back(receiver);
  port.inputIndices.push_back(static_cast<uint32_t>(input));
  receiver->SetSender(output, this, input);
}

void KXBase::RemoveReceiver(const std::string& output, KXBase* receiver,
                            const std::string& input) {
  int outputIndex = -1;
  int inputIndex = -1;
  if (FindPorts("RemoveReceiver", output, receiver, input, outputIndex, inputIndex)) {
    RemoveReceiver(outputIndex, receiver, inputIndex);
  }
}

void KXBase::RemoveReceiver(int output, KXBase* receiver, int input) {
  if (!CanConnect("RemoveReceiver", output, receiver, input)) return;
  const int position = FindReceiver(output, receiver, input);
  if (position < 0) {
    return ReportError("RemoveReceiver", Connection(output, receiver, input) + " does not exist");
  }
  Output& port = outputs[output];
  port.receivers.erase(port.receivers.begin() + position);
  port.inputIndices.erase(port.inputIndices.begin() + position);
  if (receiver->inputs[input].sender == this) receiver->SetSender(-1, nullptr, input);
}

void KXBase::RefreshReceivers() {
  for (size_t output = 0; output < outputs.size(); ++output) {
    const Output& port = outputs[output];
    for (size_t i = 0; i < port.receivers.size(); ++i) {
      port.receivers[i]->SetSender(static_cast<int>(output), this,
                                   static_cast<int>(port.inputIndices[i]));
    }
  }
}

void KXBase::SetSender(const std::string& output, KXBase* sender, const std::string& input) {
  const int inputIndex = InputNamed("SetSender", input);
  if (inputIndex < 0) return;
  const int outputIndex = sender == nullptr ? -1 : sender->OutputNamed("SetSender", output);
  if (sender != nullptr && outputIndex < 0) return;
  SetSender(outputIndex, sender, inputIndex);
}

void KXBase::SetSender(int output, KXBase* sender, int input) {
  if (!HasInput("SetSender", input)) return;
  inputs[input].sender = sender;
  inputs[input].senderOutput = output;
}

int KXBase::FindReceiver(int output, KXBase* receiver, int input) {
  if (output < 0 || static_cast<size_t>(output) >= outputs.size()) return -1;
  const Output& port = outputs[output];
  for (size_t i = 0; i < port.receivers.size() && i < port.inputIndices.size(); ++i) {
    if (port.receivers[i] == receiver && port.inputIndices[i] == static_cast<uint32_t>(input)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// ---- Delivery ----------------------------------------------------------------------------

void KXBase::SetInput(const std::string& input, void* value) {
  const int inputIndex = InputNamed("SetInput", input);
  if (inputIndex >= 0) SetInput(inputIndex, value);
}

void KXBase::SetInput(int input, void* value) {
  if (!HasInput("SetInput", input)) return;
  currentInput = input;
  const Input& port = inputs[input];
  const bool forwards = port.forwardCallback != port.callback;
  KXBase* const target = forwards ? port.forwardTarget : this;
  const Callback callback = forwards ? port.forwardCallback : port.callback;
  if (target == nullptr) {
    return ReportError("SetInput", "input " + std::to_string(input) + " of node " + name +
                                       " forwards to no node");
  }
  if (callback == nullptr) {
    return ReportError("SetInput", "input " + std::to_string(input) + " of node " + name +
                                       " has no callback");
  }
  (target->*callback)(value);
}

void KXBase::SendOutput(unsigned int output, void* value) {
  if (HasOutput("SendOutput", output)) SendOutput(outputs[output], value);
}

// Sizes are read afresh each time round: a receiver may connect more nodes while it is handed
// the value.
void KXBase::SendOutput(Output& output, void* value) {
  for (size_t i = 0; i < output.receivers.size() && i < output.inputIndices.size(); ++i) {
    KXBase* const receiver = output.receivers[i];
    if (receiver != nullptr) receiver->SetInput(static_cast<int>(output.inputIndices[i]), value);
  }
  for (size_t i = 0; i < output.monitors.size() && i < output.monitorCallbacks.size(); ++i) {
    KXBase* const monitor = output.monitors[i];
    const Callback callback = output.monitorCallbacks[i];
    if (monitor != nullptr && callback != nullptr) (monitor->*callback)(value);
  }
}

void KXBase::Start() {}

void KXBase::Stop() { running = false; }

// ---- Drawing -----------------------------------------------------------------------------

void KXBase::SetPosition(int x, int y) {
  left = x;
  top = y;
}

void KXBase::GetPosition(int& x, int& y) const {
  x = left;
  y = top;
}

void KXBase::SetSize(int newWidth, int newHeight) {
  width = newWidth;
  height = newHeight;
}

void KXBase::GetSize(int& sizeWidth, int& sizeHeight) const {
  sizeWidth = width;
  sizeHeight = height;
}

int KXBase::GetEntryHeight() const { return kEntryHeight; }

void KXBase::GetFullSize(int& fullWidth, int& fullHeight) const {
  const size_t rows = std::max(inputs.size(), outputs.size());
  fullWidth = width;
  fullHeight = height + static_cast<int>(rows) * kEntryHeight;
}

void KXBase::GetActualSize(int& actualWidth, int& actualHeight) const {
  if (collapsed) {
    GetSize(actualWidth, actualHeight);
  } else {
    GetFullSize(actualWidth, actualHeight);
  }
}

void KXBase::SetCollapsed(bool newCollapsed) { collapsed = newCollapsed; }

bool KXBase::IsCollapsed() const { return collapsed; }

void KXBase::GetInputPosition(int input, int& x, int& y) {
  x = left;
  y = ConnectorY(input);
}

void KXBase::GetOutputPosition(int output, int& x, int& y) {
  x = left + width;
  y = ConnectorY(output);
}

// A collapsed node draws every connector at the middle of its title area.
int KXBase::ConnectorY(int index) const {
  if (collapsed) return top + height / 2;
  return top + height + index * kEntryHeight + kEntryHeight / 2;
}

void KXBase::SetManager(KXManager* newManager) { manager = newManager; }

KXManager* KXBase::GetManager() const { return manager; }

// ---- Port lists --------------------------------------------------------------------------

std::vector<KXBase::Output>& KXBase::GetOutputs() { return outputs; }

std::vector<KXBase::Output*> KXBase::GetOutputPointers() { return PointersTo(outputs, kEveryPort); }

std::vector<KXBase::Output*> KXBase::GetConOutputs() {
  return PointersTo(outputs, [](const Output& port) { return !port.receivers.empty(); });
}

std::vector<KXBase::Input>& KXBase::GetInputs() { return inputs; }

std::vector<KXBase::Input*> KXBase::GetInputPointers() { return PointersTo(inputs, kEveryPort); }

std::vector<KXBase::Input*> KXBase::GetConInputs() {
  return PointersTo(inputs, [](const Input& port) { return port.sender != nullptr; });
}

int KXBase::GetNumberForInput(const std::string& input) { return IndexNamed(inputs, input); }

int KXBase::GetNumberForOutput(const std::string& output) const {
  return IndexNamed(outputs, output);
}

std::string KXBase::GetInputString(int input) {
  return HasInput("GetInputString", input) ? inputs[input].valueText : std::string();
}

// ---- Conversions -------------------------------------------------------------------------

short KXBase::convertToShort(void* value, kx_type type) {
  return conversion::ToScalar<short>(value, type);
}

short KXBase::convertToShort(const std::string& text) {
  return conversion::ToScalar<short>(&text, kx_string);
}

int KXBase::convertToInt(void* value, kx_type type) {
  return conversion::ToScalar<int>(value, type);
}

int KXBase::convertToInt(const std::string& text) {
  return conversion::ToScalar<int>(&text, kx_string);
}

int64_t KXBase::convertToInt64(void* value, kx_type type) {
  return conversion::ToScalar<int64_t>(value, type);
}

int64_t KXBase::convertToInt64(const std::string& text) {
  return conversion::ToScalar<int64_t>(&text, kx_string);
}

float KXBase::convertToFloat(void* value, kx_type type) {
  return conversion::ToScalar<float>(value, type);
}

float KXBase::convertToFloat(const std::string& text) {
  return conversion::ToScalar<float>(&text, kx_string);
}

double KXBase::convertToDouble(void* value, kx_type type) {
  return conversion::ToScalar<double>(value, type);
}

double KXBase::convertToDouble(const std::string& text) {
  return conversion::ToScalar<double>(&text, kx_string);
}

std::string KXBase::convertToString(void* value, kx_type type) {
  return conversion::ToText(value, type);
}

std::string KXBase::convertToString(const std::string& text) { return text; }

const char* KXBase::convertToCString(void* value, kx_type type) {
  if (value == nullptr) return "";
  if (type == kx_cstring) return static_cast<const char*>(value);
  if (type == kx_string) return static_cast<const std::string*>(value)->c_str();
  return "";
}

const char* KXBase::convertToCString(const std::string& text) { return text.c_str(); }

std::vector<int> KXBase::convertToIntV(void* value, kx_type type) {
  return conversion::ToVector<int>(value, type);
}

std::vector<int> KXBase::convertToIntV(const std::string& text) {
  return conversion::ToVector<int>(&text, kx_string);
}

std::vector<std::string> KXBase::convertToStringV(void* value, kx_type type) {
  return conversion::ToVector<std::string>(value, type);
}

std::vector<std::string> KXBase::convertToStringV(const std::string& text) {
  return conversion::ToVector<std::string>(&text, kx_string);
}

std::vector<short> KXBase::convertToShortV(void* value, kx_type type) {
  return conversion::ToVector<short>(value, type);
}

std::vector<short> KXBase::convertToShortV(const std::string& text) {
  return conversion::ToVector<short>(&text, kx_string);
}

std::vector<float> KXBase::convertToFloatV(void* value, kx_type type) {
  return conversion::ToVector<float>(value, type);
}

std::vector<float> KXBase::convertToFloatV(const std::string& text) {
  return conversion::ToVector<float>(&text, kx_string);
}

std::vector<double> KXBase::convertToDoubleV(void* value, kx_type type) {
  return conversion::ToVector<double>(value, type);
}

std::vector<double> KXBase::convertToDoubleV(const std::string& text) {
  return conversion::ToVector<double>(&text, kx_string);
}

// ---- Checks and messages -----------------------------------------------------------------

void KXBase::ReportError(const char* operation, const std::string& what) const {
  std::cerr << operation << ": ERROR - " << what << std::endl;
}

bool KXBase::HasOutput(const char* operation, long long output) const {
  if (output >= 0 && static_cast<unsigned long long>(output) < outputs.size()) return true;
  ReportError(operation, "no output " + std::to_string(output) + " on node " + name);
  return false;
}

bool KXBase::HasInput(const char* operation, long long input) const {
  if (input >= 0 && static_cast<unsigned long long>(input) < inputs.size()) return true;
  ReportError(operation, "no input " + std::to_string(input) + " on node " + name);
  return false;
}

bool KXBase::HasReceiver(const char* operation, const KXBase* receiver) const {
  if (receiver != nullptr) return true;
  ReportError(operation, "no receiving node given to node " + name);
  return false;
}

bool KXBase::CanConnect(const char* operation, int output, const KXBase* receiver,
                        int input) const {
  return HasOutput(operation, output) && HasReceiver(operation, receiver) &&
         receiver->HasInput(operation, input);
}

int KXBase::OutputNamed(const char* operation, const std::string& output) const {
  const int index = GetNumberForOutput(output);
  if (index < 0) ReportError(operation, "no output named " + output + " on node " + name);
  return index;
}

int KXBase::InputNamed(const char* operation, const std::string& input) const {
  const int index = IndexNamed(inputs, input);
  if (index < 0) ReportError(operation, "no input named " + input + " on node " + name);
  return index;
}

bool KXBase::FindPorts(const char* operation, const std::string& output,
                       const KXBase* receiver, const std::string& input, int& outputIndex,
                       int& inputIndex) const {
  outputIndex = OutputNamed(operation, output);
  if (outputIndex < 0 || !HasReceiver(operation, receiver)) return false;
  inputIndex = receiver->InputNamed(operation, input);
  return inputIndex >= 0;
}

std::string KXBase::Connection(int output, const KXBase* receiver, int input) const {
  return "the connection from output " + std::to_string(output) + " of node " + name +
         " to input " + std::to_string(input) + " of node " + receiver->name;
}
