#include "reader/TTudaEvent.h"

#include <iostream>

template <typename T>
void TDataItem<T>::Print(const char* prefix) const
{
  // A dump may have left the stream in hexadecimal; item lines are always decimal.
  std::cout << prefix << "channel=" << std::dec << channel << " value=" << value << std::endl;
}

template class TDataItem<unsigned short>;
template class TDataItem<float>;
template class TDataItem<unsigned int>;

namespace {

template <typename Item>
void PrintItems(const std::vector<Item>& items, const char* prefix)
{
  for (const Item& item : items) item.Print(prefix);
}

}  // namespace

void TTudaEvent::Clear(const char*)
{
  adcItems.clear();
  tdcItems.clear();
  epicsItems.clear();
  scalerItems.clear();
}

void TTudaEvent::Print(const char*) const
{
  std::cout << "TTudaEvent:" << std::endl;
  PrintItems(adcItems, "adc:    ");
  PrintItems(tdcItems, "tdc:    ");
  PrintItems(epicsItems, "epics:  ");
  PrintItems(scalerItems, "scaler: ");
}
