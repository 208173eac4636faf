#pragma once

#include <pybind11/pybind11.h>

// The class _Histogram: the binning of `tuda spectra` for one kind, filled from batches' arrays.
void DeclareHistogram(pybind11::module_& module);
