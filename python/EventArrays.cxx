#include "python/EventArrays.h"

template <typename Value>
void KindArrays<Value>::Reserve(size_t items, size_t events, VectorPool& pool)
{
  // With room to spare, so that a recycled vector serves a batch a little larger than the last.
  const size_t rows = items + items / 4;
  channel = pool.Take<uint16_t>(rows);
  value = pool.Take<Value>(rows);
  offsets = pool.Take<int64_t>(events + events / 4 + 1);
  offsets.push_back(0);
}

template <typename Value>
size_t KindArrays<Value>::Bytes() const
{
  return channel.size() * kItemBytes + offsets.size() * kEventBytes;
}

template struct KindArrays<uint16_t>;
template struct KindArrays<uint32_t>;
template struct KindArrays<float>;

void EventArrays::Add(const TTudaEvent& event, uint64_t number)
{
  if (events == 0) firstEvent = number;
  ++events;
  if (Has(kAdcBit)) adc.Add(event.adcItems);
  if (Has(kTdcBit)) tdc.Add(event.tdcItems);
  if (Has(kScalerBit)) scaler.Add(event.scalerItems);
  if (Has(kEpicsBit)) epics.Add(event.epicsItems);
}

size_t EventArrays::BytesOf(const TTudaEvent& event) const
{
  size_t bytes = 0;
  if (Has(kAdcBit)) bytes += event.adcItems.size() * adc.kItemBytes + adc.kEventBytes;
  if (Has(kTdcBit)) bytes += event.tdcItems.size() * tdc.kItemBytes + tdc.kEventBytes;
  if (Has(kScalerBit)) bytes += event.scalerItems.size() * scaler.kItemBytes + scaler.kEventBytes;
  if (Has(kEpicsBit)) bytes += event.epicsItems.size() * epics.kItemBytes + epics.kEventBytes;
  return bytes;
}

size_t EventArrays::Bytes() const
{
  return adc.Bytes() + tdc.Bytes() + scaler.Bytes() + epics.Bytes();
}

EventArrays::Rows EventArrays::Sizes() const
{
  Rows rows;
  rows.items[0] = adc.channel.size();
  rows.items[1] = tdc.channel.size();
  rows.items[2] = scaler.channel.size();
  rows.items[3] = epics.channel.size();
  rows.events = events;
  return rows;
}

void EventArrays::Reserve(const Rows& rows, VectorPool& pool)
{
  if (Has(kAdcBit)) adc.Reserve(rows.items[0], rows.events, pool);
  if (Has(kTdcBit)) tdc.Reserve(rows.items[1], rows.events, pool);
  if (Has(kScalerBit)) scaler.Reserve(rows.items[2], rows.events, pool);
  if (Has(kEpicsBit)) epics.Reserve(rows.items[3], rows.events, pool);
}
