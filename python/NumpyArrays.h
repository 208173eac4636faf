#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "python/EventArrays.h"
#include "python/VectorPool.h"

// A vector handed to numpy, and the pool it goes back to when numpy lets go (none: it is freed).
template <typename T>
struct HandedVector {
  std::vector<T> values;
  std::shared_ptr<VectorPool> pool;

  ~HandedVector()
  {
    if constexpr (VectorPool::kKeeps<T>) {
      if (pool) pool->Give(std::move(values));
    }
  }
};

// Vectors filled in C++ handed to numpy without a copy: the array's base owns the vector.
template <typename T>
pybind11::array_t<T> ToArray(std::vector<T>&& values, std::shared_ptr<VectorPool> pool = nullptr)
{
  auto* owned = new HandedVector<T>{std::move(values), std::move(pool)};
  const pybind11::capsule owner(owned, [](void* vector) { delete static_cast<HandedVector<T>*>(vector); });
  return pybind11::array_t<T>(static_cast<pybind11::ssize_t>(owned->values.size()), owned->values.data(), owner);
}

// {"first_event": n, "events": n, and for each kind carried "adc": (channel, value, offsets)};
// the arrays go back to `pool`, when given, once numpy lets go of them.
pybind11::dict ToDict(EventArrays&& arrays, const std::shared_ptr<VectorPool>& pool = nullptr);
