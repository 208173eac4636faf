#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "python/VectorPool.h"
#include "reader/TTudaEvent.h"

// The items of a run of events as flat arrays, laid out as `tuda export` writes HDF5: for each
// kind, channel and value one row per item in the reader's order, and offsets, one more row than
// events, from 0: the items of event i are rows offsets[i] to offsets[i + 1]. Filled on the
// decoding thread; the vectors are then handed over whole (see NumpyArrays.h).

// The kinds a batch carries, as bits.
enum KindBit : unsigned { kAdcBit = 1, kTdcBit = 2, kScalerBit = 4, kEpicsBit = 8 };
static constexpr unsigned kAllKindBits = kAdcBit | kTdcBit | kScalerBit | kEpicsBit;

template <typename Value>
struct KindArrays {
  std::vector<uint16_t> channel;
  std::vector<Value> value;
  std::vector<int64_t> offsets{0};

  template <typename Item>
  void Add(const std::vector<Item>& items)
  {
    for (const Item& item : items) {
      channel.push_back(item.channel);
      value.push_back(item.value);
    }
    offsets.push_back(static_cast<int64_t>(channel.size()));
  }
  // Room for `items` items of `events` events, so that a batch like the last one fills in place,
  // in vectors taken from `pool`.
  void Reserve(size_t items, size_t events, VectorPool& pool);
  size_t Bytes() const;
  static constexpr size_t kItemBytes = sizeof(uint16_t) + sizeof(Value);
  static constexpr size_t kEventBytes = sizeof(int64_t);
};

class EventArrays {
 public:
  explicit EventArrays(unsigned kinds) : kinds(kinds) {}

  // Appends the event numbered `number`; the first one appended numbers the batch.
  void Add(const TTudaEvent& event, uint64_t number);
  // The bytes of array the event would add.
  size_t BytesOf(const TTudaEvent& event) const;
  size_t Bytes() const;
  // The rows of each kind's arrays (adc, tdc, scaler, epics) and the events.
  struct Rows {
    size_t items[4] = {};
    size_t events = 0;
  };
  Rows Sizes() const;
  void Reserve(const Rows& rows, VectorPool& pool);

  unsigned Kinds() const { return kinds; }
  uint64_t Events() const { return events; }
  uint64_t FirstEvent() const { return firstEvent; }

  KindArrays<uint16_t> adc;
  KindArrays<uint16_t> tdc;
  KindArrays<uint32_t> scaler;
  KindArrays<float> epics;

 private:
  bool Has(KindBit kind) const { return (kinds & kind) != 0; }

  unsigned kinds;
  uint64_t events = 0;
  uint64_t firstEvent = 0;
};
