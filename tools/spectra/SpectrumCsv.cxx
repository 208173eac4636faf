#include "tools/spectra/SpectrumCsv.h"

#include "tools/output/TextWriter.h"

void WriteSpectrumCsv(const KindHistogram& histogram, std::ostream& stream)
{
  TextWriter out(stream);
  out << "channel,low,high,count\n";
  const bool wholeEdges = histogram.WholeEdges();
  for (uint32_t channel = 0; channel < histogram.Kind().channels; ++channel) {
    for (uint32_t bin = 0; bin < histogram.Bins(); ++bin) {
      const uint64_t count = histogram.Count(channel, bin);
      if (count == 0) continue;
      out << channel << ',';
      // Whole edges are written as integers: the same text, found without a search for the
      // shortest form of a double.
      if (wholeEdges) {
        out << static_cast<uint32_t>(histogram.BinLow(bin)) << ',' << static_cast<uint32_t>(histogram.BinHigh(bin));
      } else {
        out << histogram.BinLow(bin) << ',' << histogram.BinHigh(bin);
      }
      out << ',' << count << '\n';
    }
  }
}
