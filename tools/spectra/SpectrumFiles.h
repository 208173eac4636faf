#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/console/Interrupt.h"
#include "tools/histogram/KindHistogram.h"
#include "tools/spectra/Picture.h"
#include "tools/spectra/SpectrumIndex.h"
#include "tools/spectra/SpectrumPlots.h"

// What `tuda spectra` writes and where.
struct SpectrumFileOptions {
  std::string folder = "spectra";
  PictureFormat format = PictureFormat::kPng;
  CountScale scale = CountScale::kLog;
  std::vector<uint32_t> channels;  // a spectrum picture each
  InterruptWatch* watch = nullptr;  // told of each temporary file while it is written; may be null
};

// Writes into the folder, which is made when missing, for each histogram KIND: KIND-map,
// KIND-hits and KIND-CHANNEL pictures and KIND.csv; then index.html. First removes the pictures
// and tables of either kind, in either format, that an earlier run wrote there. Stops at the
// first file that cannot be removed or written: false, with `error` naming it.
bool WriteSpectrumFiles(const std::vector<const KindHistogram*>& histograms, const RunFigures& figures,
                        const SpectrumFileOptions& options, std::string& error);
