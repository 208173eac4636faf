#pragma once

#include <atomic>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "reader/TTudaData.h"
#include "tools/histogram/KindHistogram.h"
#include "tools/input/ReaderAccount.h"
#include "tools/monitor/LineTail.h"
#include "tools/monitor/MonitorSnapshot.h"

// The decoding side of `tuda monitor`: one reader over one file, the ADC and TDC items of every
// event it returns histogrammed as `tuda spectra` bins them, and a snapshot published on the
// board at most once per refresh interval. Everything runs on the thread that calls Decode and
// Serve; handler threads only set the reset request and read the board.
class MonitorDecoder {
 public:
  MonitorDecoder(const std::string& source, double refreshSeconds, SnapshotBoard& board);

  // The reader, to be set up (follow settings, first-block look) before Decode.
  TTudaData& Reader() { return reader; }
  // Reads the open file to the end of its data; true when it was read whole (not damaged, not
  // stopped). `keepGoing` is looked at after every event.
  template <typename KeepGoing>
  bool Decode(KeepGoing keepGoing)
  {
    TTudaEvent* event = nullptr;
    while (keepGoing() && (event = reader.GetNextEvent()) != nullptr) {
      Fill(*event);
      event->Clear(nullptr);
      if (reader.BlocksRead() != lastBlocks) Look();
    }
    return !reader.Source().Damaged();
  }
  // A look between blocks, or while the file does not grow: a reset asked for is carried out and
  // a snapshot published when one is due.
  void Look();
  // The file was replaced or cut short: `heldItemsLost` items of its unfinished event were
  // dropped, the histograms are cleared, and the next events count as a new run.
  void Restart(uint64_t heldItemsLost);
  // The reading is over: the final figures are published.
  void Finish();

  // Asks the decoding thread to clear the histograms; any thread may call it.
  void RequestReset() { resetRequested.store(true); }
  void SetFollowing(bool following) { status.following = following; }
  const ReaderAccount& Account() const { return reporter.Account(); }
  uint64_t Events() const { return status.events; }

 private:
  void Fill(const TTudaEvent& event);
  void ClearHistograms();
  void Publish();

  SnapshotBoard& board;
  const double refreshSeconds;
  LineTail errorTail;
  std::ostream errors;
  AccountingReporter reporter;
  TTudaData reader;
  std::vector<std::unique_ptr<KindHistogram>> histograms;
  // One event's items as the node hands them on, reused from event to event.
  std::vector<short> adcChannels, adcValues, tdcChannels, tdcValues;
  MonitorStatus status;
  std::atomic<bool> resetRequested{false};
  uint32_t lastBlocks = 0;
  const MonitorClock::time_point started = MonitorClock::now();
  MonitorClock::time_point lastPublished;
  uint64_t eventsPublished = 0;
  uint64_t bytesPublished = 0;
};
