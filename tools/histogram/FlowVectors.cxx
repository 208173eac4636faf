#include "tools/histogram/FlowVectors.h"

const std::vector<short>* FindShortVector(FlowEvent& event, const char* propertyName)
{
  const auto entry = event.find(propertyName);
  if (entry == event.end() || entry->second.type != kx_vshort) return nullptr;
  return static_cast<const std::vector<short>*>(entry->second.value);
}
