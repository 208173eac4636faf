#pragma once

#include <cstdint>

// Tags of the values that properties point at and that ports carry. Stored as a 32-bit integer;
// tags missing from the list below name nothing and render as nothing.
enum kx_type : int32_t {
  kx_uint16 = 4,
  kx_short = 5,
  kx_uint32 = 6,
  kx_int = 7,
  kx_bool = 8,
  kx_float = 9,
  kx_double = 10,
  kx_uint64 = 11,
  kx_cstring = 13,
  kx_unset = 18,
  kx_string = 19,
  kx_vshort = 20,
  kx_vint = 21,
  kx_vuint64 = 22,
  kx_vfloat = 24,
  kx_vdouble = 25,
  kx_vstring = 26,
  kx_flowevent = 100
};

// The name that a type listing writes for a tag; empty for a tag that has no name. A nested
// event's listing follows its name.
inline const char* kxTypeName(kx_type type) {
  switch (type) {
    case kx_uint16: return "uint16";
    case kx_short: return "short";
    case kx_uint32: return "uint32";
    case kx_int: return "int";
    case kx_bool: return "bool";
    case kx_float: return "float";
    case kx_double: return "double";
    case kx_uint64: return "uint64";
    case kx_cstring: return "c-string";
    case kx_string: return "string";
    case kx_vshort: return "vector<short>";
    case kx_vint: return "vector<int>";
    case kx_vuint64: return "vector<uint64>";
    case kx_vfloat: return "vector<float>";
    case kx_vdouble: return "vector<double>";
    case kx_vstring: return "vector<string>";
    case kx_flowevent: return "FlowEvent: ";
    default: return "";
  }
}
