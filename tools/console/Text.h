#pragma once

#include <cstdint>
#include <string>

// Small text helpers for the program's own lines.

// "1 block", "3 blocks": `count` and `noun`, with an "s" unless the count is one.
std::string Counted(uint64_t count, const std::string& noun);

// "1,039,082": the digits in groups of three.
std::string Grouped(uint64_t number);
// "1 block", "9,120 blocks": Counted with the digits grouped.
std::string GroupedCount(uint64_t count, const std::string& noun);

// `text` followed by blanks up to `width` characters; the stream's own state is left alone.
std::string Padded(const std::string& text, size_t width);

// A number with `decimals` digits after the point, without touching any stream's settings.
std::string Fixed(double value, int decimals);
