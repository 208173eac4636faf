#pragma once

#include <vector>

#include "flow/FlowEvent.h"

// The vector<short> a FlowEvent's property of that name points at, or null when the event has no
// such property or it carries another tag.
const std::vector<short>* FindShortVector(FlowEvent& event, const char* propertyName);
