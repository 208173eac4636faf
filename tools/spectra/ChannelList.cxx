#include "tools/spectra/ChannelList.h"

#include <algorithm>
#include <charconv>

namespace {

bool ParseChannel(const std::string& text, uint32_t limit, uint32_t& channel)
{
  const char* const end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, channel);
  return !text.empty() && failure == std::errc() && stop == end && channel < limit;
}

// One item of the list: a channel, or a range "first-last".
bool ParseItem(const std::string& item, uint32_t limit, std::vector<uint32_t>& channels)
{
  const size_t dash = item.find('-');
  uint32_t first = 0;
  uint32_t last = 0;
  if (dash == std::string::npos) {
    if (!ParseChannel(item, limit, first)) return false;
    last = first;
  } else if (!ParseChannel(item.substr(0, dash), limit, first) ||
             !ParseChannel(item.substr(dash + 1), limit, last) || last < first) {
    return false;
  }
  for (uint32_t channel = first; channel <= last; ++channel) channels.push_back(channel);
  return true;
}

}  // namespace

bool ParseChannelList(const std::string& text, uint32_t limit, std::vector<uint32_t>& channels, std::string& error)
{
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (!ParseItem(item, limit, channels)) {
      error = "--channels needs channels from 0 to " + std::to_string(limit - 1) +
              " and ranges such as 40-47, separated by commas, not '" + item + "'";
      return false;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::sort(channels.begin(), channels.end());
  channels.erase(std::unique(channels.begin(), channels.end()), channels.end());
  return true;
}
