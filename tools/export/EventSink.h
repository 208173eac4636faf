#pragma once

#include <cstdint>
#include <string>

#include "reader/TTudaEvent.h"
#include "tools/histogram/KindNames.h"

// Where `tuda export` writes the events the reader returns, in the order it returns them.
class EventSink {
 public:
  virtual ~EventSink() = default;

  // Every item of one event, numbered `number`.
  virtual void Write(const TTudaEvent& event, uint64_t number) = 0;
  // After the last event: writes what is still held. False, with `error`, when any part of the
  // output could not be written (a stream the caller owns tells it its own way).
  virtual bool Finish(uint64_t events, std::string& error) = 0;
};
