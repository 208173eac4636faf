#pragma once

#include <cstdint>

#include "tools/histogram/KindHistogram.h"

// The pictures of a kind's spectra, drawn by PLplot on the current Picture, with axes, labels
// and titles. Only the channels up to the last one that counted an item are shown (in steps of
// kChannelStep), so a detector that uses a few channels fills the picture.

// How counts are shown: colour or height proportional to their logarithm, or to themselves.
enum class CountScale { kLog, kLinear };

constexpr int kPictureWidth = 1000;
constexpr int kPictureHeight = 750;
constexpr uint32_t kChannelStep = 16;

// Channel against value, the count of each bin as colour, with a colour bar. Value bins are
// joined in fours, eights... for the picture when there are more than the page has rows for.
void DrawMap(const KindHistogram& histogram, CountScale scale);

// Two panels: the items counted in each channel, and the events with each number of items.
void DrawHits(const KindHistogram& histogram, CountScale scale);

// The spectrum of one channel: counts per value bin.
void DrawChannel(const KindHistogram& histogram, uint32_t channel, CountScale scale);
