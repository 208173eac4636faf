#pragma once

#include <vector>

#include "flow/FlowEvent.h"
#include "plugin/NodeContract.h"

// The vector<short> that a FlowEvent's property of that name (one of the source node's, named in
// its contract) points at, or null when the event has no such property or it carries another tag.
const std::vector<short>* FindShortVector(FlowEvent& event, const char* propertyName);
