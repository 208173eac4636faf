#include "tools/spectra/SpectrumReceiver.h"

#include "tools/histogram/FlowVectors.h"

SpectrumReceiver::SpectrumReceiver(const std::string& instanceName, std::vector<KindHistogram*> histograms)
    : KXBase(nullptr, instanceName), histograms(std::move(histograms))
{
  inputs.push_back(KXBase::Input("fevent", static_cast<KXBase::Callback>(&SpectrumReceiver::Receive),
                                 kx_flowevent, "FlowEvent to histogram"));
}

void SpectrumReceiver::Receive(void* value)
{
  if (value == nullptr) return;
  FlowEvent& event = *static_cast<FlowEvent*>(value);
  if (event.setup) {
    Adopt(event);
    return;
  }
  ++events;
  for (const Source& source : sources) source.histogram->Fill(*source.channels, *source.values);
  if (afterEvent) afterEvent();
}

// The set-up event names the properties; their vectors stay where they are while events flow.
void SpectrumReceiver::Adopt(FlowEvent& event)
{
  sources.clear();
  missing.clear();
  for (KindHistogram* histogram : histograms) {
    const std::vector<short>* channels = Find(event, histogram->Kind().channelProperty);
    const std::vector<short>* values = Find(event, histogram->Kind().valueProperty);
    if (channels != nullptr && values != nullptr) sources.push_back({histogram, channels, values});
  }
}

const std::vector<short>* SpectrumReceiver::Find(FlowEvent& event, const char* propertyName)
{
  const std::vector<short>* vector = FindShortVector(event, propertyName);
  if (vector == nullptr) missing.push_back(propertyName);
  return vector;
}
