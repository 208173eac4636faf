#include "python/HistogramBinding.h"

#include <memory>
#include <stdexcept>
#include <string>

#include <pybind11/numpy.h>

#include "python/NumpyArrays.h"
#include "tools/histogram/KindHistogram.h"
#include "tools/histogram/SpectrumKind.h"

namespace py = pybind11;

namespace {

using Column = py::array_t<uint16_t, py::array::c_style | py::array::forcecast>;
using Offsets = py::array_t<int64_t, py::array::c_style | py::array::forcecast>;

const SpectrumKind& KindNamed(const std::string& name)
{
  if (name == kAdcKind.name) return kAdcKind;
  if (name == kTdcKind.name) return kTdcKind;
  throw py::value_error("histograms are made of adc or tdc items, not " + name);
}

std::unique_ptr<KindHistogram> MakeHistogram(const std::string& kind, uint32_t bins)
{
  const SpectrumKind& spectrumKind = KindNamed(kind);
  if (bins == 0) bins = spectrumKind.defaultBins;
  if (bins > kMaxBins) throw py::value_error("bins must be 1 to " + std::to_string(kMaxBins));
  return std::make_unique<KindHistogram>(spectrumKind, bins);
}

// Every event of a batch: its items are rows offsets[i] to offsets[i + 1].
void Fill(KindHistogram& histogram, const Column& channel, const Column& value, const Offsets& offsets)
{
  const size_t events = offsets.size() > 0 ? static_cast<size_t>(offsets.size()) - 1 : 0;
  const int64_t* const rows = offsets.data();
  if (channel.size() != value.size() || (events > 0 && (rows[0] < 0 || rows[events] > channel.size()))) {
    throw py::value_error("channel, value and offsets do not belong together");
  }
  for (size_t i = 0; i < events; ++i) {
    if (rows[i + 1] < rows[i]) throw py::value_error("offsets must not decrease");
  }
  const py::gil_scoped_release unlocked;
  for (size_t i = 0; i < events; ++i) {
    histogram.Fill(channel.data() + rows[i], value.data() + rows[i], static_cast<size_t>(rows[i + 1] - rows[i]));
  }
}

py::array_t<uint64_t> Counts(const KindHistogram& histogram)
{
  const size_t channels = histogram.Kind().channels;
  const size_t bins = histogram.Bins();
  std::vector<uint64_t> counts(channels * bins);
  for (uint32_t channel = 0; channel < channels; ++channel) {
    for (uint32_t bin = 0; bin < bins; ++bin) counts[channel * bins + bin] = histogram.Count(channel, bin);
  }
  return ToArray(std::move(counts)).reshape({channels, bins});
}

py::array_t<double> Edges(const KindHistogram& histogram)
{
  std::vector<double> edges(histogram.Bins() + 1);
  for (uint32_t bin = 0; bin <= histogram.Bins(); ++bin) edges[bin] = histogram.BinLow(bin);
  return ToArray(std::move(edges));
}

}  // namespace

void DeclareHistogram(py::module_& module)
{
  py::class_<KindHistogram>(module, "_Histogram")
      .def(py::init(&MakeHistogram), py::arg("kind"), py::arg("bins"))
      .def("fill", &Fill, py::arg("channel"), py::arg("value"), py::arg("offsets"))
      .def("counts", &Counts)
      .def("edges", &Edges)
      .def_property_readonly("outside_items", &KindHistogram::OutsideItems);
}
