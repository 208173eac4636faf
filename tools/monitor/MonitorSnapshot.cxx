#include "tools/monitor/MonitorSnapshot.h"

const KindHistogram* MonitorSnapshot::Find(const std::string& name, size_t& index) const
{
  for (index = 0; index < histograms.size(); ++index) {
    if (name == histograms[index].Kind().name) return &histograms[index];
  }
  return nullptr;
}

SnapshotBoard::SnapshotBoard() : latest(std::make_shared<MonitorSnapshot>()) {}

void SnapshotBoard::Publish(std::shared_ptr<const MonitorSnapshot> snapshot)
{
  const std::lock_guard<std::mutex> guard(lock);
  // The old snapshot goes with `snapshot`, after the lock is let go, or later with the last
  // handler still reading it.
  latest.swap(snapshot);
}

std::shared_ptr<const MonitorSnapshot> SnapshotBoard::Latest() const
{
  const std::lock_guard<std::mutex> guard(lock);
  return latest;
}
