#include "tools/SpectrumCsv.h"

#include "tools/TextWriter.h"

bool WriteSpectrumCsv(const KindHistogram& histogram, std::FILE* stream)
{
  TextWriter out(stream);
  out << "channel,low,high,count\n";
  for (uint32_t channel = 0; channel < histogram.Kind().channels; ++channel) {
    for (uint32_t bin = 0; bin < histogram.Bins(); ++bin) {
      const uint64_t count = histogram.Count(channel, bin);
      if (count == 0) continue;
      out << channel << ',' << histogram.BinLow(bin) << ',' << histogram.BinHigh(bin) << ',' << count << '\n';
    }
  }
  return out.Flush();
}
