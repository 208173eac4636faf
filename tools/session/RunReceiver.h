#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "flow/FlowEvent.h"
#include "flow/KXBase.h"

// What the receiver of `tuda run` writes.
enum class PrintMode {
  kValues,  // the type listing of the set-up event, then the value listing of every event
  kTypes,   // the type listing of the set-up event only
  kNone,    // nothing: the events are only counted
};

// The host's own node at the end of the `tuda run` graph: one input, "fevent", that takes a
// FlowEvent. It lists the event as asked and counts the events and their ADC and TDC items.
// The event handed over at set-up must stay alive while events arrive; its property names are
// the source node's.
class RunReceiver : public KXBase {
 public:
  RunReceiver(const std::string& instanceName, PrintMode mode, std::ostream& out);

  // The input callback: a set-up hand-over or one event.
  void Receive(void* value);

  uint64_t Events() const { return events; }
  uint64_t AdcItems() const { return adcItems; }
  uint64_t TdcItems() const { return tdcItems; }
  // The event handed over at set-up, or null before the connection.
  FlowEvent* SetupEvent() const { return setupEvent; }

  // Called after every counted event.
  std::function<void()> afterEvent;

 private:
  void Adopt(FlowEvent& event);
  void Count(FlowEvent& event);

  PrintMode mode;
  std::ostream& out;
  FlowEvent* setupEvent = nullptr;
  // The source's channel vectors: their lengths are the event's ADC and TDC item counts.
  const std::vector<short>* adcChannels = nullptr;
  const std::vector<short>* tdcChannels = nullptr;
  uint64_t events = 0;
  uint64_t adcItems = 0;
  uint64_t tdcItems = 0;
};
