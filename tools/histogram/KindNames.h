#pragma once

// The kinds of item as the exports and the spectra name them in files, tables and datasets.
constexpr const char* kAdcKindName = "adc";
constexpr const char* kTdcKindName = "tdc";
constexpr const char* kScalerKindName = "scaler";
constexpr const char* kEpicsKindName = "epics";
