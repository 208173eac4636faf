#pragma once

#include <cstdint>
#include <iomanip>
#include <ostream>
#include <string>
#include <vector>

#include "flow/FlowBinning.h"
#include "flow/kx_type.h"

class formulaParser;

// A typed view onto a value that lives elsewhere: the tag says what `value` addresses. The
// property owns its texts and binning only; copies address the very same value and formula, so
// whoever registers a property keeps the value alive and in place while any copy can be read.
class FlowProperty {
 public:
  FlowProperty() = default;
  FlowProperty(kx_type type, const FlowBinning& binning, void* value)
      : type(type), binning(binning), value(value) {}

  std::string title;
  std::string unit;
  int32_t hasBinning = 0;
  kx_type type = kx_unset;
  FlowBinning binning;
  void* value = nullptr;
  formulaParser* formula = nullptr;
  uint64_t userWord = 0;
};

// Each element right-aligned in a field of four characters, followed by one blank.
template <typename T>
void VectorToStream(std::vector<T>& values, std::ostream& os) {
  for (const T& element : values) {
    os << std::setw(4) << element << " ";
  }
}

// A property's text form can hold a nested event, so it lives with the event's text form.
#include "flow/FlowEvent.h"
