#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <limits>
#include <locale>
#include <ostream>
#include <string>
#include <type_traits>
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

namespace flowtext {

// Whether integers written to `os` come out as plain decimal digits, right-aligned with blanks:
// no base, sign, fill, adjustment or locale of the caller's that the stream would apply.
inline bool PlainDecimal(const std::ostream& os) {
  const std::ios_base::fmtflags shaping = std::ios_base::basefield | std::ios_base::adjustfield |
                                          std::ios_base::showpos | std::ios_base::showbase;
  const std::ios_base::fmtflags flags = os.flags() & shaping;
  return (flags == std::ios_base::dec || flags == (std::ios_base::dec | std::ios_base::right)) &&
         os.fill() == ' ' && os.getloc() == std::locale::classic();
}

// Integers as VectorToStream's fields, formatted into a line buffer and handed to the stream a
// buffer at a time rather than number by number: a listing of every event spends its time here.
template <typename T>
void IntegersToStream(const std::vector<T>& values, std::ostream& os) {
  constexpr size_t kField = 4;
  constexpr size_t kWidest = std::numeric_limits<T>::digits10 + 3;  // sign, digits, blank
  char line[512];
  size_t used = 0;
  for (const T element : values) {
    if (used + std::max(kField + 1, kWidest) > sizeof line) {
      os.write(line, static_cast<std::streamsize>(used));
      used = 0;
    }
    if (element >= 0 && element < 10000) {
      // Most values fill at most the field: their digits go in place from the right.
      unsigned rest = static_cast<unsigned>(element);
      for (size_t at = kField; at-- > 0; rest /= 10) line[used + at] = at + 1 == kField || rest > 0 ? char('0' + rest % 10) : ' ';
      used += kField;
    } else {
      char digits[kWidest];
      const size_t count = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, element).ptr - digits);
      for (size_t pad = count; pad < kField; ++pad) line[used++] = ' ';
      std::memcpy(line + used, digits, count);
      used += count;
    }
    line[used++] = ' ';
  }
  os.write(line, static_cast<std::streamsize>(used));
}

}  // namespace flowtext

// Each element right-aligned in a field of four characters, followed by one blank.
template <typename T>
void VectorToStream(std::vector<T>& values, std::ostream& os) {
  // Character types are written as characters, bool as the stream's choice: not numbers.
  constexpr bool kNumber = std::is_integral_v<T> && sizeof(T) > 1 && !std::is_same_v<T, bool>;
  if constexpr (kNumber) {
    if (flowtext::PlainDecimal(os)) return flowtext::IntegersToStream(values, os);
  }
  for (const T& element : values) {
    os << std::setw(4) << element << " ";
  }
}

// A property's text form can hold a nested event, so it lives with the event's text form.
#include "flow/FlowEvent.h"
