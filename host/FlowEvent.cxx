#include "flow/FlowEvent.h"

void FlowEvent::Reset() {
  clear();
  setup = false;
}

void FlowEvent::SetBinnings() {
  for (auto& entry : *this) {
    FlowProperty& property = entry.second;
    if (property.binning.bins > 0 || !property.binning.edges.empty()) property.hasBinning = 1;
  }
}
