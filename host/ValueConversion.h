#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "flow/FlowEvent.h"
#include "flow/kx_type.h"

// Reading a value of any tag as the type a node wants: the host's convertTo* operations.
namespace conversion {

// Calls visit(element) for each element of the value, in order, until visit returns false. A
// scalar is one element; a text is its blank-separated items, each a std::string.
template <typename Visit>
void ForEachItem(const std::string& text, Visit visit) {
  std::istringstream items(text);
  std::string item;
  while (items >> item && visit(item)) {
  }
}

template <typename T, typename Visit>
void ForEachOf(const std::vector<T>& values, Visit visit) {
  for (const T& element : values) {
    if (!visit(element)) return;
  }
}

template <typename T>
const T& As(const void* value) {
  return *static_cast<const T*>(value);
}

template <typename Visit>
void ForEachElement(const void* value, kx_type type, Visit visit) {
  if (value == nullptr) return;
  switch (type) {
    case kx_uint16: visit(As<uint16_t>(value)); return;
    case kx_short: visit(As<int16_t>(value)); return;
    case kx_uint32: visit(As<uint32_t>(value)); return;
    case kx_int: visit(As<int32_t>(value)); return;
    case kx_bool: visit(As<bool>(value)); return;
    case kx_float: visit(As<float>(value)); return;
    case kx_double: visit(As<double>(value)); return;
    case kx_uint64: visit(As<uint64_t>(value)); return;
    case kx_cstring: return ForEachItem(static_cast<const char*>(value), visit);
    case kx_string: return ForEachItem(As<std::string>(value), visit);
    case kx_vshort: return ForEachOf(As<std::vector<short>>(value), visit);
    case kx_vint: return ForEachOf(As<std::vector<int>>(value), visit);
    case kx_vuint64: return ForEachOf(As<std::vector<uint64_t>>(value), visit);
    case kx_vfloat: return ForEachOf(As<std::vector<float>>(value), visit);
    case kx_vdouble: return ForEachOf(As<std::vector<double>>(value), visit);
    case kx_vstring: return ForEachOf(As<std::vector<std::string>>(value), visit);
    default: return;
  }
}

// One element as T: numbers are cast, text is read as a number (zero when it is none), and a
// number becomes text in the stream's default form.
template <typename T, typename E>
T ConvertElement(const E& element) {
  if constexpr (std::is_same_v<T, E>) {
    return element;
  } else if constexpr (std::is_same_v<T, std::string>) {
    std::ostringstream text;
    text << element;
    return text.str();
  } else if constexpr (std::is_same_v<E, std::string>) {
    std::istringstream text(element);
    T number{};
    return text >> number ? number : T{};
  } else {
    return static_cast<T>(element);
  }
}

template <typename T>
T ToScalar(const void* value, kx_type type) {
  T result{};
  ForEachElement(value, type, [&result](const auto& element) {
    result = ConvertElement<T>(element);
    return false;
  });
  return result;
}

template <typename T>
std::vector<T> ToVector(const void* value, kx_type type) {
  std::vector<T> result;
  ForEachElement(value, type, [&result](const auto& element) {
    result.push_back(ConvertElement<T>(element));
    return true;
  });
  return result;
}

// Text stays whole, an event becomes its listing, and list elements are joined by blanks.
inline std::string ToText(void* value, kx_type type) {
  if (value == nullptr) return std::string();
  if (type == kx_cstring) return static_cast<const char*>(value);
  if (type == kx_string) return As<std::string>(value);
  if (type == kx_flowevent) return static_cast<FlowEvent*>(value)->str();
  std::string text;
  const char* separator = "";
  ForEachElement(value, type, [&text, &separator](const auto& element) {
    text += separator;
    text += ConvertElement<std::string>(element);
    separator = " ";
    return true;
  });
  return text;
}

}  // namespace conversion
