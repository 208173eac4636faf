#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads a list of channels such as "1,5,40-47": numbers and ranges (both ends included),
// separated by commas. The channels come out sorted, each once. False, with `error`, on text
// that is not such a list or a channel of `limit` or more.
bool ParseChannelList(const std::string& text, uint32_t limit, std::vector<uint32_t>& channels, std::string& error);
