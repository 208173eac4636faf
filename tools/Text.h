#pragma once

#include <cstdint>
#include <string>

// Small text helpers for the program's own lines.

// "1 block", "3 blocks": `count` and `noun`, with an "s" unless the count is one.
std::string Counted(uint64_t count, const std::string& noun);

// `text` followed by blanks up to `width` characters; the stream's own state is left alone.
std::string Padded(const std::string& text, size_t width);

// A number with `decimals` digits after the point, without touching any stream's settings.
std::string Fixed(double value, int decimals);
