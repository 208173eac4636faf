#include "tools/monitor/MonitorDecoder.h"

#include <iostream>

#include "tools/histogram/SpectrumKind.h"

namespace {

// The reader's lines the page shows.
constexpr size_t kLinesKept = 20;

// The items of one kind as the node hands them to a receiver: channels and values as shorts.
template <typename Item>
void CopyItems(const std::vector<Item>& items, std::vector<short>& channels, std::vector<short>& values)
{
  channels.clear();
  values.clear();
  for (const Item& item : items) {
    channels.push_back(static_cast<short>(item.GetChannel()));
    values.push_back(static_cast<short>(item.GetValue()));
  }
}

double Seconds(MonitorClock::duration duration) { return std::chrono::duration<double>(duration).count(); }

}  // namespace

MonitorDecoder::MonitorDecoder(const std::string& source, double refreshSeconds, SnapshotBoard& board)
    : board(board),
      refreshSeconds(refreshSeconds),
      errorTail(std::cerr.rdbuf(), kLinesKept),
      errors(&errorTail),
      reporter(std::cout, errors, AccountingReporter::kReaderLines)
{
  reader.SetReporter(&reporter);
  reader.Source().SetErrors(errors);
  status.source = source;
  status.refreshSeconds = refreshSeconds;
  ClearHistograms();
  lastPublished = status.lastData = MonitorClock::now();
  Publish();
}

void MonitorDecoder::Fill(const TTudaEvent& event)
{
  CopyItems(event.GetAdcItems(), adcChannels, adcValues);
  CopyItems(event.GetTdcItems(), tdcChannels, tdcValues);
  histograms[0]->Fill(adcChannels, adcValues);
  histograms[1]->Fill(tdcChannels, tdcValues);
  ++status.events;
}

void MonitorDecoder::Look()
{
  lastBlocks = reader.BlocksRead();
  const MonitorClock::time_point now = MonitorClock::now();
  if (status.events != eventsPublished) status.lastData = now;
  if (resetRequested.exchange(false)) {
    ClearHistograms();
    Publish();
    return;
  }
  if (Seconds(now - lastPublished) >= refreshSeconds) Publish();
}

void MonitorDecoder::Restart(uint64_t heldItemsLost)
{
  status.heldItemsLost += heldItemsLost;
  ++status.runs;
  ClearHistograms();
  Publish();
}

void MonitorDecoder::Finish()
{
  status.following = false;
  status.readingSeconds = Seconds(MonitorClock::now() - started);
  status.finished = true;
  Publish();
}

void MonitorDecoder::ClearHistograms()
{
  histograms.clear();
  histograms.push_back(std::make_unique<KindHistogram>(kAdcKind, kAdcKind.defaultBins));
  histograms.push_back(std::make_unique<KindHistogram>(kTdcKind, kTdcKind.defaultBins));
}

void MonitorDecoder::Publish()
{
  const MonitorClock::time_point now = MonitorClock::now();
  status.blocks = reader.BlocksRead();
  if (!status.finished) status.readingSeconds = Seconds(now - started);
  status.bytes = reader.Source().BytesConsumed();
  const double seconds = Seconds(now - lastPublished);
  if (seconds > 0) {
    status.eventsPerSecond = (status.events - eventsPublished) / seconds;
    status.megabytesPerSecond = (status.bytes - bytesPublished) / seconds / kBytesPerMegabyte;
  }
  status.account = reporter.Account();
  status.lines = errorTail.Lines();

  auto snapshot = std::make_shared<MonitorSnapshot>();
  snapshot->status = status;
  snapshot->histograms.reserve(histograms.size());
  for (const auto& histogram : histograms) {
    // Counting the pending notes first leaves the copy none: its readings change nothing.
    snapshot->hits.push_back(histogram->HitsPerChannel());
    snapshot->histograms.push_back(*histogram);
  }
  board.Publish(std::move(snapshot));
  lastPublished = now;
  eventsPublished = status.events;
  bytesPublished = status.bytes;
}
