// Writes the fuzzers' seed corpus: small data files made by the writer, one for each block
// layout and token kind the reader must cope with, each also compressed in every codec.
// Usage: fuzz_seeds DIR
#include <iostream>
#include <sstream>

#include "writer/CompressedOutput.h"
#include "writer/SyntheticRun.h"
#include "writer/MidasFileWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Every kind of token, including the ones the decoder only reports or steps over.
WriterEvent EveryTokenKind()
{
  return {{tokens::Adc(69, 0xffff), tokens::Tdc(74, 0x1abc), tokens::Scaler(2, 0xffffffff),
           tokens::Epics(3, 65552), tokens::Simple(0, 1, 2), tokens::Simple(32, 0, 0), tokens::Wide(65, 1, 7),
           tokens::Group(5, 0, {1, 2, 3}), tokens::ExtendedGroup(0x1234)}};
}

Bytes BytesOf(const std::ostringstream& out)
{
  const std::string text = out.str();
  return Bytes(text.begin(), text.end());
}

Bytes Run(const BlockLayout& layout, unsigned events, const Bytes& trailing = {})
{
  std::ostringstream out;
  MidasFileWriter writer(out, layout);
  for (unsigned i = 0; i < events; ++i) writer.AddEvent(EveryTokenKind());
  writer.AddRawBytes(trailing);
  return BytesOf(out);
}

BlockLayout WithLength(DataLength length, bool swapped = false)
{
  BlockLayout layout;
  layout.length = length;
  layout.swapped = swapped;
  return layout;
}

Bytes Synthetic()
{
  SyntheticRunOptions options;
  options.blocks = 3;
  options.swappedFraction = 0.5;
  std::ostringstream out;
  WriteSyntheticRun(out, options);
  return BytesOf(out);
}

// The seed, and, in a build with compressed files, the seed in every codec it writes.
bool WriteSeed(const std::string& path, const Bytes& bytes)
{
  if (!WriteFileBytes(path, bytes)) return false;
  if (*CompiledCodecs() == '\0') return true;
  for (const char* ending : {".gz", ".bz2", ".xz", ".zst", ".lz4"}) {
    CompressedOutput out(path + ending, CodecOfOutputName(path + ending));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.Close()) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::cerr << "Usage: fuzz_seeds DIR" << std::endl;
    return 2;
  }
  BlockLayout noMarker;
  noMarker.endMarker = false;
  noMarker.fill = 0x0101;
  BlockLayout beyondBlock = WithLength(DataLength::kExplicit);
  beyondBlock.explicitLength = 2 * TEGBlockSize;
  beyondBlock.lengthHighBytes = 1;

  const std::vector<std::pair<const char*, Bytes>> seeds{
      {"through-data", Run(WithLength(DataLength::kThroughData), 1)},
      {"through-marker-swapped", Run(WithLength(DataLength::kThroughMarker, true), 1)},
      {"data-only", Run(WithLength(DataLength::kDataOnly), 2)},
      {"zero-length-swapped", Run(WithLength(DataLength::kZero, true), 2)},
      {"no-marker", Run(noMarker, 1)},
      {"length-beyond-block", Run(beyondBlock, 1)},
      {"trailing-piece", Run(BlockLayout(), 1, {1, 2, 3, 4, 5})},
      {"events-across-blocks", Run(BlockLayout(), 700)},
      {"synthetic-run", Synthetic()},
  };
  for (const auto& [name, bytes] : seeds) {
    if (!WriteSeed(std::string(argv[1]) + "/" + name, bytes)) {
      std::cerr << "fuzz_seeds: cannot write " << argv[1] << "/" << name << std::endl;
      return 1;
    }
  }
  return 0;
}
