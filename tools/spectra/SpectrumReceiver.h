#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "flow/FlowEvent.h"
#include "flow/KXBase.h"
#include "tools/histogram/KindHistogram.h"

// The host's node at the end of the `tuda spectra` graph: one input, "fevent", that takes a
// FlowEvent, and a histogram per kind filled from the channel and value properties of every
// event it is sent. The histograms must outlive the receiver; the event handed over at set-up
// must stay alive while events arrive, and stays the sender's to free.
class SpectrumReceiver : public KXBase {
 public:
  SpectrumReceiver(const std::string& instanceName, std::vector<KindHistogram*> histograms);

  // The input callback: a set-up hand-over or one event.
  void Receive(void* value);

  uint64_t Events() const { return events; }
  // The properties a histogram found no vector<short> under at set-up, by name.
  const std::vector<std::string>& MissingProperties() const { return missing; }

  // Called after every event.
  std::function<void()> afterEvent;

 private:
  // A histogram and the vectors it reads, found by name in the set-up event.
  struct Source {
    KindHistogram* histogram;
    const std::vector<short>* channels;
    const std::vector<short>* values;
  };

  void Adopt(FlowEvent& event);
  const std::vector<short>* Find(FlowEvent& event, const char* propertyName);

  std::vector<KindHistogram*> histograms;
  std::vector<Source> sources;
  std::vector<std::string> missing;
  uint64_t events = 0;
};
