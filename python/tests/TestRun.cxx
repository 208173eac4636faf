// Writes a data file for the Python tests with the project's writer: items before the first
// event-start token, events that run across blocks, tokens of every kind the reader drops,
// blocks whose data length cuts them or ends them early, a block without a marker whose last
// token runs past its end, items after the last event-start token and a short trailing piece.
// Usage: tuda_py_testrun OUT SEED [swapped]  (swapped: every other block in the other byte order)

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "writer/MidasFileWriter.h"

namespace {

// A small generator of its own, so that a seed gives the same file everywhere.
class Numbers {
 public:
  explicit Numbers(uint64_t seed) : state(seed * 2862933555777941757ULL + 3037000493ULL) {}
  uint32_t Below(uint32_t bound)
  {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state >> 33) % bound;
  }

 private:
  uint64_t state;
};

BlockLayout Layout(uint64_t block, bool swapped)
{
  BlockLayout layout;
  layout.swapped = swapped && block % 2 == 1;
  if (block % 7 == 3) layout.length = DataLength::kDataOnly;
  if (block % 11 == 5) layout.length = DataLength::kZero;
  if (block % 13 == 8) layout.length = DataLength::kThroughMarker;
  return layout;
}

Words Token(Numbers& numbers)
{
  switch (numbers.Below(40)) {
    case 0: return tokens::Simple(0, numbers.Below(32), 7);                       // unknown group
    case 1: return tokens::Simple(40, numbers.Below(32), 7);                      // unknown group
    case 2: return tokens::Group(3, 0, Words{tokens::Adc(1, 2)[0], 5});           // group item
    case 3: return tokens::ExtendedGroup(numbers.Below(1 << 14));                 // extended group item
    case 4: return tokens::Wide(100, numbers.Below(32), 12345);                  // group above 64
    case 5: return tokens::Scaler(numbers.Below(32), numbers.Below(1u << 31) * 2 + 1);
    case 6: return tokens::Epics(numbers.Below(32), numbers.Below(100000));
    default:
      if (numbers.Below(2) == 0) return tokens::Adc(numbers.Below(600), numbers.Below(0x10000));
      return tokens::Tdc(numbers.Below(300), numbers.Below(0x10000));
  }
}

WriterEvent Event(Numbers& numbers, uint64_t index)
{
  WriterEvent event;
  const uint32_t items = index % 97 == 40 ? 9000 + numbers.Below(4000) : numbers.Below(60);
  for (uint32_t i = 0; i < items; ++i) event.tokens.push_back(Token(numbers));
  return event;
}

// A block without a marker whose tokens fill it and whose last token, a 32-bit item, would run
// past its end.
std::vector<uint8_t> BlockWithTokenPastEnd()
{
  Words data;
  data.insert(data.end(), {0xc000, 4});
  while (data.size() < kBlockWords - kHeaderWords - 2) {
    const Words adc = tokens::Adc(3, 9);
    data.insert(data.end(), adc.begin(), adc.end());
  }
  const Words wide = tokens::Scaler(1, 77);
  data.insert(data.end(), wide.begin(), wide.begin() + 2);
  BlockLayout layout;
  layout.endMarker = false;
  layout.length = DataLength::kExplicit;
  layout.explicitLength = TEGBlockSize;
  return BuildBlock(data, layout);
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc < 3) {
    std::cerr << "usage: tuda_py_testrun OUT SEED [swapped]" << std::endl;
    return 2;
  }
  const uint64_t seed = std::strtoull(argv[2], nullptr, 10);
  const bool swapped = argc > 3 && std::string(argv[3]) == "swapped";
  std::ofstream file(argv[1], std::ios::binary);
  Numbers numbers(seed);
  MidasFileWriter writer(file, [swapped](uint64_t block) { return Layout(block, swapped); });
  for (int i = 0; i < 5; ++i) writer.AddToken(tokens::Adc(i, 100 + i));
  const uint64_t events = 2000 + seed % 500;
  for (uint64_t i = 0; i < events; ++i) {
    writer.AddEvent(Event(numbers, i));
    if (i == events / 2) writer.AddRawBytes(BlockWithTokenPastEnd());
  }
  for (int i = 0; i < 3; ++i) writer.AddToken(tokens::Tdc(i, 200 + i));
  writer.AddRawBytes(std::vector<uint8_t>(1000 + seed % 100, 0x5a));
  return file.good() ? 0 : 1;
}
