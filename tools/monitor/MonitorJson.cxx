#include "tools/monitor/MonitorJson.h"

#include <algorithm>

#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

// A bin's low edge; whole edges as integers, so that they read as the CSV's.
json Edge(const KindHistogram& histogram, uint32_t bin)
{
  if (histogram.WholeEdges()) return static_cast<uint64_t>(histogram.BinLow(bin));
  return histogram.BinLow(bin);
}

// The edges of bins `step` wide, the last one ending at the kind's full range.
json Edges(const KindHistogram& histogram, uint32_t step)
{
  json edges = json::array();
  for (uint32_t bin = 0; bin < histogram.Bins(); bin += step) edges.push_back(Edge(histogram, bin));
  edges.push_back(Edge(histogram, histogram.Bins()));
  return edges;
}

json Losses(const ReaderAccount& account)
{
  json losses = json::array();
  for (size_t cause = 0; cause < kTudaCauses; ++cause) {
    if (LossReason(cause) == nullptr) continue;
    losses.push_back({{"cause", LossReason(cause)},
                      {"words", account.droppedWords[cause]},
                      {"blocks", account.blocksWithDrops[cause]}});
  }
  return losses;
}

json Kinds(const MonitorSnapshot& snapshot)
{
  json kinds = json::array();
  for (const KindHistogram& histogram : snapshot.histograms) {
    kinds.push_back({{"name", histogram.Kind().name},
                     {"label", histogram.Kind().label},
                     {"channels", histogram.Kind().channels},
                     {"bins", histogram.Bins()},
                     {"items", histogram.Items()},
                     {"outsideItems", histogram.OutsideItems()}});
  }
  return kinds;
}

}  // namespace

std::string StatusJson(const MonitorSnapshot& snapshot, MonitorClock::time_point now)
{
  const MonitorStatus& status = snapshot.status;
  const json object = {
      {"source", status.source},
      {"following", status.following},
      {"finished", status.finished},
      {"events", status.events},
      {"blocks", status.blocks},
      {"bytes", status.bytes},
      {"eventsPerSecond", status.eventsPerSecond},
      {"megabytesPerSecond", status.megabytesPerSecond},
      {"secondsSinceData", std::chrono::duration<double>(now - status.lastData).count()},
      {"readingSeconds", status.readingSeconds},
      {"refreshSeconds", status.refreshSeconds},
      {"runs", status.runs},
      {"heldItemsLost", status.heldItemsLost},
      {"losses", Losses(status.account)},
      {"trailingBytes", status.account.trailingBytes},
      {"trailingPieces", status.account.trailingPieces},
      {"kinds", Kinds(snapshot)},
      {"lines", status.lines},
  };
  return object.dump();
}

std::string HitsJson(const KindHistogram& histogram, const std::vector<uint64_t>& hits)
{
  json channels = json::array();
  for (uint32_t channel = 0; channel < hits.size(); ++channel) channels.push_back(channel);
  return json{{"kind", histogram.Kind().name}, {"channels", channels}, {"counts", hits}}.dump();
}

std::string MapJson(const KindHistogram& histogram, uint32_t rebin)
{
  json rows = json::array();
  std::vector<uint64_t> row;
  for (uint32_t channel = 0; channel < histogram.Kind().channels; ++channel) {
    row.assign((histogram.Bins() + rebin - 1) / rebin, 0);
    for (uint32_t bin = 0; bin < histogram.Bins(); ++bin) row[bin / rebin] += histogram.Count(channel, bin);
    rows.push_back(row);
  }
  return json{{"kind", histogram.Kind().name},
              {"rebin", rebin},
              {"channels", histogram.Kind().channels},
              {"edges", Edges(histogram, rebin)},
              {"counts", rows}}
      .dump();
}

std::string ChannelJson(const KindHistogram& histogram, uint32_t channel)
{
  std::vector<uint64_t> counts(histogram.Bins());
  for (uint32_t bin = 0; bin < histogram.Bins(); ++bin) counts[bin] = histogram.Count(channel, bin);
  return json{{"kind", histogram.Kind().name}, {"channel", channel}, {"edges", Edges(histogram, 1)}, {"counts", counts}}
      .dump();
}

std::string ErrorJson(const std::string& message) { return json{{"error", message}}.dump(); }
