#pragma once

#include <cstdint>
#include <mutex>
#include <type_traits>
#include <vector>

// Array memory handed to numpy comes back here when numpy lets go of it, so that the next batch
// fills pages already mapped instead of faulting fresh ones in: over a large file that halves the
// time a batch takes. A few vectors of each type are kept, about one batch's worth, so that memory
// stays flat. The reader takes vectors without Python's lock; numpy gives them back under it, on
// any thread: one mutex guards the lists.
class VectorPool {
 public:
  // The element types of a batch's arrays, which the pool keeps.
  template <typename T>
  static constexpr bool kKeeps = std::is_same_v<T, uint16_t> || std::is_same_v<T, uint32_t> ||
                                 std::is_same_v<T, float> || std::is_same_v<T, int64_t>;

  // An empty vector with room for `rows`: the smallest kept one that has it, else a new one.
  template <typename T>
  std::vector<T> Take(size_t rows)
  {
    std::vector<T> values;
    {
      const std::lock_guard<std::mutex> lock(mutex);
      std::vector<std::vector<T>>& kept = Kept<T>();
      auto best = kept.end();
      for (auto vector = kept.begin(); vector != kept.end(); ++vector) {
        if (vector->capacity() >= rows && (best == kept.end() || vector->capacity() < best->capacity())) best = vector;
      }
      if (best != kept.end()) {
        values = std::move(*best);
        kept.erase(best);
      }
    }
    values.clear();
    values.reserve(rows);
    return values;
  }

  template <typename T>
  void Give(std::vector<T>&& values)
  {
    const std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::vector<T>>& kept = Kept<T>();
    if (kept.size() < kKeptPerType) {
      kept.push_back(std::move(values));
      return;
    }
    // Full: the larger vector is the more likely to serve the next batch.
    auto smallest = kept.begin();
    for (auto vector = kept.begin(); vector != kept.end(); ++vector) {
      if (vector->capacity() < smallest->capacity()) smallest = vector;
    }
    if (values.capacity() > smallest->capacity()) *smallest = std::move(values);
  }

 private:
  // A batch holds six 16-bit columns (channels of every kind, adc and tdc values) and four offsets.
  static constexpr size_t kKeptPerType = 6;

  template <typename T>
  std::vector<std::vector<T>>& Kept()
  {
    if constexpr (std::is_same_v<T, uint16_t>) return shorts;
    else if constexpr (std::is_same_v<T, uint32_t>) return words;
    else if constexpr (std::is_same_v<T, float>) return floats;
    else {
      static_assert(std::is_same_v<T, int64_t>, "the pool keeps the arrays of batches only");
      return offsets;
    }
  }

  std::mutex mutex;
  std::vector<std::vector<uint16_t>> shorts;
  std::vector<std::vector<uint32_t>> words;
  std::vector<std::vector<float>> floats;
  std::vector<std::vector<int64_t>> offsets;
};
