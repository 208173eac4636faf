#pragma once

#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "flow/FlowProperty.h"
#include "flow/KXBase.h"
#include "flow/kx_type.h"
#include "flow/stringstore.h"

// The container that travels along the graph: named properties, ordered by name, pointing at
// values that other objects own. It owns its entries and its text, neither the values nor the
// events nested in it. While `setup` is raised the event is being handed over at connection
// time, and its listing gives the type of each entry instead of its value. The destructor is not
// virtual: an event of a derived class must be deleted as that class.
class FlowEvent : public std::map<std::string, FlowProperty>, public stringstore {
 public:
  FlowEvent() { Reset(); }

  // Lists the event with default formatting; the reference stays valid until the next call.
  std::string& str() override;

  // Empties the event and lowers `setup`.
  void Reset();
  // Marks every property whose binning holds bins or edges as listed with its binning. Entries,
  // tags and values stay as they are.
  void SetBinnings();

 private:
  std::string listing;

 public:
  bool setup = false;
};

namespace flowtext {

// The events whose listing is under way, innermost first; a nested event already among them is
// not listed again, so an event that contains itself still lists in finite text.
struct EventChain {
  const FlowEvent* event;
  const EventChain* outer;
};

inline bool IsListing(const EventChain* chain, const void* event) {
  for (; chain != nullptr; chain = chain->outer) {
    if (chain->event == event) return true;
  }
  return false;
}

inline void WriteEvent(std::ostream& os, FlowEvent& event, const EventChain* outer);

inline void WriteNestedEvent(std::ostream& os, void* event, const EventChain* chain) {
  if (event == nullptr || IsListing(chain, event)) return;
  WriteEvent(os, *static_cast<FlowEvent*>(event), chain);
}

template <typename T>
void WriteScalar(std::ostream& os, const void* value) {
  os << *static_cast<const T*>(value);
}

template <typename T>
void WriteVector(std::ostream& os, void* value) {
  VectorToStream(*static_cast<std::vector<T>*>(value), os);
}

inline void WriteValue(std::ostream& os, const FlowProperty& property, const EventChain* chain) {
  if (property.value == nullptr) return;
  switch (property.type) {
    case kx_uint16: return WriteScalar<uint16_t>(os, property.value);
    case kx_short: return WriteScalar<int16_t>(os, property.value);
    case kx_uint32: return WriteScalar<uint32_t>(os, property.value);
    case kx_int: return WriteScalar<int32_t>(os, property.value);
    case kx_bool: return WriteScalar<bool>(os, property.value);
    case kx_float: return WriteScalar<float>(os, property.value);
    case kx_double: return WriteScalar<double>(os, property.value);
    case kx_uint64: return WriteScalar<uint64_t>(os, property.value);
    case kx_cstring: os << static_cast<const char*>(property.value); return;
    case kx_string: return WriteScalar<std::string>(os, property.value);
    case kx_vshort: return WriteVector<short>(os, property.value);
    case kx_vint: return WriteVector<int>(os, property.value);
    case kx_vuint64: return WriteVector<uint64_t>(os, property.value);
    case kx_vfloat: return WriteVector<float>(os, property.value);
    case kx_vdouble: return WriteVector<double>(os, property.value);
    case kx_vstring: return WriteVector<std::string>(os, property.value);
    case kx_flowevent:
      os << std::endl;
      return WriteNestedEvent(os, property.value, chain);
    default: return;
  }
}

inline void WriteProperty(std::ostream& os, const FlowProperty& property,
                          const EventChain* chain) {
  if (property.hasBinning != 0) {
    os << std::endl << "Binning: " << property.binning << "Value:\t";
  }
  WriteValue(os, property, chain);
}

// A formula that does not hold shows its text in place of the value.
inline void WriteEntryValue(std::ostream& os, const FlowProperty& property,
                            const EventChain* chain) {
  if (property.formula != nullptr && !property.formula->eval()) {
    os << property.formula->text;
    return;
  }
  WriteProperty(os, property, chain);
}

inline void WriteEntryType(std::ostream& os, const FlowProperty& property,
                           const EventChain* chain) {
  os << kxTypeName(property.type);
  if (property.type == kx_flowevent) {
    os << std::endl;
    WriteNestedEvent(os, property.value, chain);
  }
}

inline void WriteEvent(std::ostream& os, FlowEvent& event, const EventChain* outer) {
  const EventChain chain{&event, outer};
  for (const auto& [name, property] : event) {
    os << name << ":\t";
    if (event.setup) {
      WriteEntryType(os, property, &chain);
    } else {
      WriteEntryValue(os, property, &chain);
    }
    os << std::endl;
  }
}

}  // namespace flowtext

// One line per entry, in name order: the name, a colon and a tab, then the value, or the type
// while `setup` is raised. A nested event is listed after its entry's line end, by its own flag.
inline std::ostream& operator<<(std::ostream& os, FlowEvent& event) {
  flowtext::WriteEvent(os, event, nullptr);
  return os;
}

// The value as its tag says to read it, after the binning when `hasBinning` is set; no line end.
inline std::ostream& operator<<(std::ostream& os, const FlowProperty& property) {
  flowtext::WriteProperty(os, property, nullptr);
  return os;
}

inline std::string& FlowEvent::str() {
  std::ostringstream text;
  text << *this;
  listing = text.str();
  return listing;
}
