#pragma once

#include <utility>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "python/EventArrays.h"

// Vectors filled in C++ handed to numpy without a copy: the array's base owns the vector.
template <typename T>
pybind11::array_t<T> ToArray(std::vector<T>&& values)
{
  auto* owned = new std::vector<T>(std::move(values));
  const pybind11::capsule owner(owned, [](void* vector) { delete static_cast<std::vector<T>*>(vector); });
  return pybind11::array_t<T>(static_cast<pybind11::ssize_t>(owned->size()), owned->data(), owner);
}

// {"first_event": n, "events": n, and for each kind carried "adc": (channel, value, offsets)}.
pybind11::dict ToDict(EventArrays&& arrays);
