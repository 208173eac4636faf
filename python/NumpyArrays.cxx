#include "python/NumpyArrays.h"

namespace py = pybind11;

namespace {

template <typename Value>
py::tuple KindTuple(KindArrays<Value>& kind, const std::shared_ptr<VectorPool>& pool)
{
  return py::make_tuple(ToArray(std::move(kind.channel), pool), ToArray(std::move(kind.value), pool),
                        ToArray(std::move(kind.offsets), pool));
}

}  // namespace

py::dict ToDict(EventArrays&& arrays, const std::shared_ptr<VectorPool>& pool)
{
  py::dict batch;
  batch["first_event"] = arrays.FirstEvent();
  batch["events"] = arrays.Events();
  if (arrays.Kinds() & kAdcBit) batch["adc"] = KindTuple(arrays.adc, pool);
  if (arrays.Kinds() & kTdcBit) batch["tdc"] = KindTuple(arrays.tdc, pool);
  if (arrays.Kinds() & kScalerBit) batch["scaler"] = KindTuple(arrays.scaler, pool);
  if (arrays.Kinds() & kEpicsBit) batch["epics"] = KindTuple(arrays.epics, pool);
  return batch;
}
