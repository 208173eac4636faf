#pragma once

#include <vector>

// One channel/value pair of a decoded event. Items are values: an event's lists hold copies,
// never references to the caller's objects. Final, so that emptying a list destroys its items
// without a virtual call each.
template <typename T>
class TDataItem final {
 public:
  TDataItem() = default;
  TDataItem(const TDataItem&) = default;
  TDataItem& operator=(const TDataItem&) = default;
  virtual ~TDataItem() = default;

  void SetChannel(unsigned short newChannel) { channel = newChannel; }
  void SetValue(T newValue) { value = newValue; }
  unsigned short GetChannel() const { return channel; }
  T GetValue() const { return value; }

  // One line on standard output: prefix, "channel=", channel, " value=", value. Integers are
  // written in decimal, and the stream is left decimal.
  virtual void Print(const char* prefix) const;

  unsigned short channel = 0;
  T value = T();
};

extern template class TDataItem<unsigned short>;
extern template class TDataItem<float>;
extern template class TDataItem<unsigned int>;

// The four item lists of one decoded event, in the order the reader appended them.
class TTudaEvent {
 public:
  using AdcItem = TDataItem<unsigned short>;
  using TdcItem = TDataItem<unsigned short>;
  using EpicsItem = TDataItem<float>;
  using ScalerItem = TDataItem<unsigned int>;

  TTudaEvent() = default;
  TTudaEvent(const TTudaEvent&) = default;
  TTudaEvent& operator=(const TTudaEvent&) = default;
  virtual ~TTudaEvent() = default;

  // Empties all four lists; their storage is kept for the next event. The option is not read.
  virtual void Clear(const char* option);
  // "TTudaEvent:" and one line per item on standard output. The option is not read.
  virtual void Print(const char* option) const;

  void AddAdcItem(AdcItem& item) { adcItems.push_back(item); }
  void AddTdcItem(TdcItem& item) { tdcItems.push_back(item); }
  void AddEpicsItem(EpicsItem& item) { epicsItems.push_back(item); }
  void AddScalerItem(ScalerItem& item) { scalerItems.push_back(item); }

  const std::vector<AdcItem>& GetAdcItems() const { return adcItems; }
  const std::vector<TdcItem>& GetTdcItems() const { return tdcItems; }
  const std::vector<EpicsItem>& GetEpicsItems() const { return epicsItems; }
  const std::vector<ScalerItem>& GetScalerItems() const { return scalerItems; }

  // Each list owns its items by value.
  std::vector<AdcItem> adcItems;
  std::vector<TdcItem> tdcItems;
  std::vector<EpicsItem> epicsItems;
  std::vector<ScalerItem> scalerItems;
};
