#include "tools/RunReceiver.h"

namespace {

// The documented names of the source node's channel properties.
constexpr const char* kAdcChannelName = "ADCChannel";
constexpr const char* kTdcChannelName = "TDCChannel";

}  // namespace

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
  adcChannels = FindVector(event, kAdcChannelName);
  tdcChannels = FindVector(event, kTdcChannelName);
  if (mode != PrintMode::kNone) out << event;
}

void RunReceiver::Count(FlowEvent& event) {
  ++events;
  if (adcChannels != nullptr) adcItems += adcChannels->size();
  if (tdcChannels != nullptr) tdcItems += tdcChannels->size();
  if (mode == PrintMode::kValues) out << event;
  if (afterEvent) afterEvent();
}

const std::vector<short>* RunReceiver::FindVector(FlowEvent& event, const char* propertyName) {
  const auto entry = event.find(propertyName);
  if (entry == event.end() || entry->second.type != kx_vshort) return nullptr;
  return static_cast<const std::vector<short>*>(entry->second.value);
}
