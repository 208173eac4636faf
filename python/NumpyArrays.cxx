#include "python/NumpyArrays.h"

namespace py = pybind11;

namespace {

template <typename Value>
py::tuple KindTuple(KindArrays<Value>& kind)
{
  return py::make_tuple(ToArray(std::move(kind.channel)), ToArray(std::move(kind.value)),
                        ToArray(std::move(kind.offsets)));
}

}  // namespace

py::dict ToDict(EventArrays&& arrays)
{
  py::dict batch;
  batch["first_event"] = arrays.FirstEvent();
  batch["events"] = arrays.Events();
  if (arrays.Kinds() & kAdcBit) batch["adc"] = KindTuple(arrays.adc);
  if (arrays.Kinds() & kTdcBit) batch["tdc"] = KindTuple(arrays.tdc);
  if (arrays.Kinds() & kScalerBit) batch["scaler"] = KindTuple(arrays.scaler);
  if (arrays.Kinds() & kEpicsBit) batch["epics"] = KindTuple(arrays.epics);
  return batch;
}
