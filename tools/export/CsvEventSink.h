#pragma once

#include <ostream>

#include "tools/export/EventSink.h"
#include "tools/output/TextWriter.h"

// Events as CSV: the header line "event,kind,channel,value", then one row per item, the items
// of each event by kind (adc, tdc, scaler, epics) and in the event's order within a kind. The
// stream is the caller's, which tells whether the writes succeeded; it must outlive the sink.
class CsvEventSink : public EventSink {
 public:
  explicit CsvEventSink(std::ostream& stream);

  void Write(const TTudaEvent& event, uint64_t number) override;
  bool Finish(uint64_t events, std::string& error) override;

 private:
  template <typename Item>
  void WriteItems(const std::vector<Item>& items, uint64_t number, const char* kind);

  TextWriter out;
};
