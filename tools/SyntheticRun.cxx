#include "tools/SyntheticRun.h"

#include <algorithm>
#include <random>

#include "writer/MidasFileWriter.h"

namespace {

constexpr unsigned kAdcChannelsUsed = 19 * adcChannels;
constexpr unsigned kTdcChannelsUsed = 10 * tdcChannels;
constexpr unsigned kMinHits = 10;
constexpr unsigned kMaxExtraHits = 40;
constexpr unsigned kScalerEvery = 50;
constexpr unsigned kScalerItems = 8;
constexpr unsigned kEpicsEvery = 500;
constexpr unsigned kEpicsItems = 2;
constexpr unsigned kAdcHalfRange = 2048;
constexpr unsigned kTdcOffset = 1000;
constexpr unsigned kTdcSpread = 8000;

// Drawn with plain modulo arithmetic on the engine's output: the standard distributions may
// differ between libraries, the engine itself may not.
class EventMaker {
 public:
  explicit EventMaker(uint64_t seed) : engine(seed) {}

  const WriterEvent& Next()
  {
    event.tokens.clear();
    AddHits(kAdcChannelsUsed, [this](unsigned channel) { return tokens::Adc(channel, AdcValue()); });
    AddHits(kTdcChannelsUsed, [this](unsigned channel) { return tokens::Tdc(channel, TdcValue()); });
    if (Below(kScalerEvery) == 0) AddReadout(kScalerItems, tokens::Scaler);
    if (Below(kEpicsEvery) == 0) AddReadout(kEpicsItems, tokens::Epics);
    return event;
  }

 private:
  uint64_t Below(uint64_t limit) { return engine() % limit; }

  // A peak on a flat background, within 12 bits.
  uint16_t AdcValue() { return static_cast<uint16_t>(Below(kAdcHalfRange) + Below(kAdcHalfRange)); }
  uint16_t TdcValue() { return static_cast<uint16_t>(kTdcOffset + Below(kTdcSpread)); }

  // Tens of distinct hit channels in rising order, drawn from `channels`.
  template <typename MakeToken>
  void AddHits(unsigned channels, MakeToken makeToken)
  {
    hits.clear();
    const uint64_t count = kMinHits + Below(kMaxExtraHits);
    for (uint64_t i = 0; i < count; ++i) hits.push_back(static_cast<unsigned>(Below(channels)));
    std::sort(hits.begin(), hits.end());
    hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
    for (unsigned channel : hits) event.tokens.push_back(makeToken(channel));
  }

  void AddReadout(unsigned items, Words (*makeToken)(unsigned, uint32_t))
  {
    for (unsigned channel = 0; channel < items; ++channel) {
      event.tokens.push_back(makeToken(channel, static_cast<uint32_t>(engine() >> 32)));
    }
  }

  std::mt19937_64 engine;
  std::vector<unsigned> hits;
  WriterEvent event;
};

// One 64-bit mix of the seed and the block index, so that which blocks are swapped does not
// depend on the events drawn.
uint64_t Mix(uint64_t seed, uint64_t blockIndex)
{
  uint64_t z = seed + (blockIndex + 1) * 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

MidasFileWriter::LayoutChooser RunLayout(const SyntheticRunOptions& options)
{
  return [seed = options.seed, fraction = options.swappedFraction](uint64_t blockIndex) {
    BlockLayout layout;
    layout.serial = static_cast<uint32_t>(blockIndex);
    const double draw = static_cast<double>(Mix(seed, blockIndex) >> 11) / static_cast<double>(1ULL << 53);
    layout.swapped = draw < fraction;
    return layout;
  };
}

}  // namespace

uint64_t WriteSyntheticRun(std::ostream& out, const SyntheticRunOptions& options, const SyntheticRunCheck& keepGoing)
{
  MidasFileWriter writer(out, RunLayout(options));
  EventMaker maker(options.seed);
  const auto more = [&](uint64_t events) { return !keepGoing || keepGoing(events, writer.BlocksWritten()); };
  // An event is far smaller than a block, so with a block count the block in hand is the last one.
  const auto wanted = [&](uint64_t events) {
    if (options.blocks == 0) return events < options.events;
    return events == 0 || writer.BlocksWritten() + 1 < options.blocks;
  };
  for (uint64_t events = 0; wanted(events) && more(events); ++events) writer.AddEvent(maker.Next());
  writer.EndBlock();
  return writer.BlocksWritten();
}
