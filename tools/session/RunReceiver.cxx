#include "tools/session/RunReceiver.h"

#include "tools/histogram/FlowVectors.h"

RunReceiver::RunReceiver(const std::string& instanceName, PrintMode mode, std::ostream& out)
    : KXBase(nullptr, instanceName), mode(mode), out(out) {
  inputs.push_back(KXBase::Input("fevent", static_cast<KXBase::Callback>(&RunReceiver::Receive),
                                 kx_flowevent, "FlowEvent to list"));
}

void RunReceiver::Receive(void* value) {
  if (value == nullptr) return;
  FlowEvent& event = *static_cast<FlowEvent*>(value);
  if (event.setup) {
    Adopt(event);
  } else {
    Count(event);
  }
}

// The set-up event has the properties' names and tags; their vectors stay where they are.
void RunReceiver::Adopt(FlowEvent& event) {
  setupEvent = &event;
  adcChannels = FindShortVector(event, kAdcChannelProperty);
  tdcChannels = FindShortVector(event, kTdcChannelProperty);
  if (mode != PrintMode::kNone) out << event;
}

void RunReceiver::Count(FlowEvent& event) {
  ++events;
  if (adcChannels != nullptr) adcItems += adcChannels->size();
  if (tdcChannels != nullptr) tdcItems += tdcChannels->size();
  if (mode == PrintMode::kValues) out << event;
  if (afterEvent) afterEvent();
}
