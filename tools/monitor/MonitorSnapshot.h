#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/histogram/KindHistogram.h"
#include "tools/input/ReaderAccount.h"

using MonitorClock = std::chrono::steady_clock;

// What the decoding thread tells the page about its reading at one moment.
struct MonitorStatus {
  std::string source;
  bool following = false;  // waiting for the file to grow, or about to
  bool finished = false;   // the reading has ended: the figures are final
  uint64_t events = 0;
  uint64_t blocks = 0;
  uint64_t bytes = 0;  // file bytes taken by the reader
  double eventsPerSecond = 0;
  double megabytesPerSecond = 0;
  uint64_t runs = 1;              // a followed file read again from its start counts a new run
  uint64_t heldItemsLost = 0;     // items of an unfinished event, lost when a run was restarted
  ReaderAccount account;            // what the reader lost, by cause
  std::vector<std::string> lines;  // the reader's last lines
  MonitorClock::time_point lastData;  // when an event was last decoded, or the reading began
  double readingSeconds = 0;          // since the reading began; final once finished
  double refreshSeconds = 1;
};

// The decoding thread's state as handlers see it: never changed once published, so any number
// of handler threads read it at once. The histograms hold no pending notes, so their const
// readings change nothing.
struct MonitorSnapshot {
  MonitorStatus status;
  std::vector<KindHistogram> histograms;
  std::vector<std::vector<uint64_t>> hits;  // per histogram, items per channel

  // The histogram of the kind named `name` ("adc", "tdc"), or null.
  const KindHistogram* Find(const std::string& name, size_t& index) const;
};

// The hand-over between the decoding thread, which publishes a new snapshot at most once per
// refresh interval, and the handler threads, which take the latest. A lock guards only the swap
// of one pointer: the decoder never waits for a client.
class SnapshotBoard {
 public:
  SnapshotBoard();
  void Publish(std::shared_ptr<const MonitorSnapshot> snapshot);
  std::shared_ptr<const MonitorSnapshot> Latest() const;

 private:
  mutable std::mutex lock;
  std::shared_ptr<const MonitorSnapshot> latest;
};
