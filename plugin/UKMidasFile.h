#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "flow/FlowEvent.h"
#include "flow/KXBase.h"
#include "plugin/NodeContract.h"
#include "reader/TTudaData.h"

// The source node: reads one UK MIDAS data file at a time and, for every decoded event, sends
// the address of its FlowEvent on output "fevent", with the event's ADC and TDC channels and
// values in four vectors that the event's properties point at.
//
// Ports, by index: inputs "steps" (int), "interval" (float), "file" and "listfile" (character
// strings); output "fevent" (FlowEvent). Members are public records, as the reader's are.
//
// Keep alive: receivers read the four vectors in place through the FlowEvent, during the send.
// The FlowEvent itself is never freed by the node, so a receiver may keep its address.
class UKMidasFile : public KXBase {
 public:
  // Names of the four properties that Init registers, in their order.
  static constexpr const char* kAdcChannelName = kAdcChannelProperty;
  static constexpr const char* kAdcValueName = kAdcValueProperty;
  static constexpr const char* kTdcChannelName = kTdcChannelProperty;
  static constexpr const char* kTdcValueName = kTdcValueProperty;

  // Pauses the run loop for a number of microseconds; never called with 0.
  using PauseFunction = std::function<void(uint32_t microseconds)>;

  // Names of the four inputs, in port order.
  static constexpr const char* kStepsInput = kStepsInputName;
  static constexpr const char* kIntervalInput = kIntervalInputName;
  static constexpr const char* kFileInput = kFileInputName;
  static constexpr const char* kListFileInput = kListFileInputName;

  explicit UKMidasFile(std::string& instanceName);
  virtual ~UKMidasFile();

  void Init() override;
  void Reset() override;
  using KXBase::AddReceiver;
  void AddReceiver(int output, KXBase* receiver, int input) override;
  void Start() override;
  void Stop() override;

  // Input callbacks, converted to the base's callback type in the input records.
  void setSteps(int* value);
  void setInterval(float* value);
  void setFilename(const char* name);
  void setListfilename(const char* listName);
  // Adopts an event handed over for set-up, registers the properties in it and passes it on.
  void setFlowEvent(FlowEvent* event);

  // Microseconds to pause for `seconds`: the product with one million in double precision,
  // truncated toward zero. Below zero or NaN gives no pause; a count beyond 32 bits gives the
  // largest 32-bit count.
  static uint32_t PauseMicroseconds(double seconds);

  uint32_t steps;
  double interval;
  TTudaData tudaData;
  std::ifstream listFile;
  std::string dataDirectory;
  std::string filename;
  FlowEvent* flowEvent;
  std::vector<uint16_t> adcChannel;
  std::vector<uint16_t> adcValue;
  std::vector<uint16_t> tdcChannel;
  std::vector<uint16_t> tdcValue;
  bool fileOpen;
  // The pause after each sent event; usleep unless replaced (tests count pauses through it).
  PauseFunction pauseFor;

 private:
  // False, with an error line, when the host gave no value for `input`.
  bool HasValue(const void* value, const char* input) const;
  void SelectFile(const char* requested);
  void SelectFromList(const char* listName);
  bool OpenCurrentFile();
  void RegisterProperty(const char* propertyName, std::vector<uint16_t>& values);
  // Why a connection to `input` of `receiver` cannot be made; empty when it can.
  static std::string ConnectionFault(KXBase* receiver, int input);
  void HandOver(KXBase* receiver, int input);
  void RunLoop();
  void RunIteration();
  void ClearVectors();
  void Pause();
};

// Plug-in entry points, the only symbols the module exports.
__attribute__((visibility("default"))) KXBase* newObject(std::string& name);
__attribute__((visibility("default"))) void delObject(void* object);
