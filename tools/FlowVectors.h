#pragma once

#include <vector>

#include "flow/FlowEvent.h"

// The source node's four properties, by their documented names, and how a receiver finds them.
// The host knows the node only through KXBase, so the names are written here, once.
constexpr const char* kAdcChannelProperty = "ADCChannel";
constexpr const char* kAdcValueProperty = "ADCValue";
constexpr const char* kTdcChannelProperty = "TDCChannel";
constexpr const char* kTdcValueProperty = "TDCValue";

// The vector<short> a FlowEvent's property of that name points at, or null when the event has no
// such property or it carries another tag.
const std::vector<short>* FindShortVector(FlowEvent& event, const char* propertyName);
