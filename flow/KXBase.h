#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "flow/kx_type.h"

class pluginHandle;
class KXManager;

// A condition attached to a property. Its text is an expression of constants: a number (true
// when not zero), "true", "false", or two numbers compared by <, <=, >, >=, == or !=. Text that
// is none of these evaluates to false.
class formulaParser {
 public:
  explicit formulaParser(const std::string& text = std::string()) : text(text) {}

  std::string text;

  bool eval();
};

// A node of the data-flow graph: its ports, its connections, and the delivery of values from its
// outputs to the inputs of the nodes connected to them. Values travel by address: whoever sends
// keeps the value alive until `SendOutput` returns. A connected node must outlive the
// connection; `RemoveReceiver` ends one.
class KXBase {
 public:
  typedef void (KXBase::*Callback)(void*);

  // An input port. A value reaches it through `callback` on the node, or, when
  // `forwardCallback` differs from `callback`, through `forwardCallback` on `forwardTarget`.
  class Input {
   public:
    Input(const std::string& name, Callback callback, kx_type type, const std::string& description)
        : name(name), callback(callback), forwardCallback(callback), type(type),
          description(description) {}
    Input(const Input&) = default;
    Input& operator=(const Input&) = default;
    virtual ~Input();

    std::string name;
    Callback callback;
    Callback forwardCallback;
    kx_type type;
    std::string description;
    // The value as text, kept for display by the host; `GetInputString` returns it.
    std::string valueText;
    // The node whose output feeds this input, and that output's index; null and -1 when none.
    KXBase* sender = nullptr;
    KXBase* forwardTarget = nullptr;
    int senderOutput = -1;
  };

  // An output port and its connections: connection i goes to input `inputIndices[i]` of node
  // `receivers[i]`. Monitors watch the output through a callback of their own instead of an
  // input: `monitorCallbacks[i]` is called on `monitors[i]` after the inputs have the value.
  class Output {
   public:
    Output(const std::string& name, kx_type type, const std::string& description)
        : name(name), type(type), description(description) {}

    std::string name;
    kx_type type;
    std::string description;
    std::vector<KXBase*> receivers;
    std::vector<uint32_t> inputIndices;
    std::vector<KXBase*> monitors;
    std::vector<Callback> monitorCallbacks;
  };

  KXBase(pluginHandle* handle, const std::string& name);
  KXBase(const KXBase&) = delete;
  KXBase& operator=(const KXBase&) = delete;

  // Virtual operations, in the host's slot order.
  virtual ~KXBase();
  virtual void Init();
  virtual void Reset();
  virtual void AddReceiver(const std::string& output, KXBase* receiver, const std::string& input);
  virtual void AddReceiver(int output, KXBase* receiver, int input);
  virtual void RemoveReceiver(const std::string& output, KXBase* receiver,
                              const std::string& input);
  virtual void RemoveReceiver(int output, KXBase* receiver, int input);
  virtual void RefreshReceivers();
  virtual void SetSender(const std::string& output, KXBase* sender, const std::string& input);
  virtual void SetSender(int output, KXBase* sender, int input);
  // Delivers a value to one of this node's own inputs, as a connected output would.
  virtual void SetInput(const std::string& input, void* value);
  virtual void SetInput(int input, void* value);
  // Returns once every input connected to the output, and every monitor, has the value.
  virtual void SendOutput(unsigned int output, void* value);
  virtual void Start();
  virtual void Stop();
  virtual void SetPosition(int x, int y);
  virtual void GetPosition(int& x, int& y) const;
  virtual void SetSize(int width, int height);
  virtual void GetSize(int& width, int& height) const;
  virtual int GetEntryHeight() const;
  // The size with one entry height per row of ports below the title area.
  virtual void GetFullSize(int& width, int& height) const;
  // The full size, or the title area alone while collapsed.
  virtual void GetActualSize(int& width, int& height) const;
  virtual void SetCollapsed(bool collapsed);
  virtual bool IsCollapsed() const;
  virtual void SetName(const std::string& newName) { name = newName; }
  virtual std::string& GetName() { return name; }
  virtual void SetHandle(pluginHandle* newHandle) { handle = newHandle; }
  virtual pluginHandle* GetHandle() const { return handle; }
  virtual void SetManager(KXManager* newManager);
  virtual KXManager* GetManager() const;
  virtual void SendOutput(Output& output, void* value);
  virtual std::vector<Output>& GetOutputs();
  virtual std::vector<Output*> GetOutputPointers();
  // The outputs that feed at least one input.
  virtual std::vector<Output*> GetConOutputs();
  // Conversions of a value of any tag, or of a text, to the type that the caller reads. A scalar
  // read from a list is its first element; a list read from a scalar holds that one value; a
  // text is read as blank-separated items; what cannot be read gives zero or empty.
  virtual short convertToShort(void* value, kx_type type);
  virtual short convertToShort(const std::string& text);
  virtual int convertToInt(void* value, kx_type type);
  virtual int convertToInt(const std::string& text);
  virtual int64_t convertToInt64(void* value, kx_type type);
  virtual int64_t convertToInt64(const std::string& text);
  virtual float convertToFloat(void* value, kx_type type);
  virtual float convertToFloat(const std::string& text);
  virtual double convertToDouble(void* value, kx_type type);
  virtual double convertToDouble(const std::string& text);
  // Lists become their elements separated by blanks; an event becomes its listing.
  virtual std::string convertToString(void* value, kx_type type);
  virtual std::string convertToString(const std::string& text);
  // Only text has characters to point at: other tags give "". The result lives as long as the
  // value, or the text, that it was read from.
  virtual const char* convertToCString(void* value, kx_type type);
  virtual const char* convertToCString(const std::string& text);
  virtual std::vector<int> convertToIntV(void* value, kx_type type);
  virtual std::vector<int> convertToIntV(const std::string& text);
  virtual std::vector<std::string> convertToStringV(void* value, kx_type type);
  virtual std::vector<std::string> convertToStringV(const std::string& text);
  virtual std::vector<short> convertToShortV(void* value, kx_type type);
  virtual std::vector<short> convertToShortV(const std::string& text);
  virtual std::vector<float> convertToFloatV(void* value, kx_type type);
  virtual std::vector<float> convertToFloatV(const std::string& text);
  virtual std::vector<double> convertToDoubleV(void* value, kx_type type);
  virtual std::vector<double> convertToDoubleV(const std::string& text);
  virtual std::vector<Input>& GetInputs();
  virtual std::vector<Input*> GetInputPointers();
  // The inputs that an output feeds.
  virtual std::vector<Input*> GetConInputs();
  // The position of that connection in the output's lists, or -1 when there is none.
  virtual int FindReceiver(int output, KXBase* receiver, int input);
  // The index of the input of that name, or -1.
  virtual int GetNumberForInput(const std::string& input);
  virtual std::string GetInputString(int input);
  // Where a port's connector sits: inputs on the left edge, outputs on the right.
  virtual void GetInputPosition(int input, int& x, int& y);
  virtual void GetOutputPosition(int output, int& x, int& y);

  // The index of the output of that name, or -1.
  int GetNumberForOutput(const std::string& output) const;

 protected:
  std::vector<Output> outputs;
  std::vector<Input> inputs;
  std::atomic<bool> running;
  std::string name;
  std::string description;
  pluginHandle* handle;
  // The input that the value being delivered arrives at; -1 before the first delivery.
  int currentInput;

 private:
  void ReportError(const char* operation, const std::string& what) const;
  bool HasOutput(const char* operation, long long output) const;
  bool HasInput(const char* operation, long long input) const;
  bool HasReceiver(const char* operation, const KXBase* receiver) const;
  bool CanConnect(const char* operation, int output, const KXBase* receiver, int input) const;
  int OutputNamed(const char* operation, const std::string& output) const;
  int InputNamed(const char* operation, const std::string& input) const;
  bool FindPorts(const char* operation, const std::string& output, const KXBase* receiver,
                 const std::string& input, int& outputIndex, int& inputIndex) const;
  std::string Connection(int output, const KXBase* receiver, int input) const;
  int ConnectorY(int index) const;

  KXManager* manager = nullptr;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool collapsed = false;
};
