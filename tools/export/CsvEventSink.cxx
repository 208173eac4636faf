#include "tools/export/CsvEventSink.h"

CsvEventSink::CsvEventSink(std::ostream& stream) : out(stream) { out << "event,kind,channel,value\n"; }

template <typename Item>
void CsvEventSink::WriteItems(const std::vector<Item>& items, uint64_t number, const char* kind)
{
  for (const Item& item : items) out << number << ',' << kind << ',' << item.channel << ',' << item.value << '\n';
}

void CsvEventSink::Write(const TTudaEvent& event, uint64_t number)
{
  WriteItems(event.adcItems, number, kAdcKindName);
  WriteItems(event.tdcItems, number, kTdcKindName);
  WriteItems(event.scalerItems, number, kScalerKindName);
  WriteItems(event.epicsItems, number, kEpicsKindName);
}

bool CsvEventSink::Finish(uint64_t, std::string&)
{
  out.Drain();
  return true;
}
