#pragma once

#include <hdf5.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/export/EventSink.h"
#include "tools/export/Hdf5Column.h"

// Events as an HDF5 file laid out for numpy, h5py and awkward-array: for each kind K of adc,
// tdc, scaler and epics, the datasets /K/channel and /K/value, one row per item in the reader's
// order, and /K/offsets, one more row than events: the items of event i are rows offsets[i] to
// offsets[i + 1]. On the root, the attributes "files" (the source file names), "events",
// "first_event" (the number of the first event written: the events passed over before it) and
// "tuda_version" (the version of the program that wrote the file, as `tuda --version` gives it).
class Hdf5EventSink : public EventSink {
 public:
  // Creates the file at `path`, replacing one that is there; Open tells whether it could.
  Hdf5EventSink(const std::string& path, const std::vector<std::string>& files, uint64_t firstEvent,
                bool compress);
  ~Hdf5EventSink() override;

  bool Open(std::string& error) const;
  void Write(const TTudaEvent& event, uint64_t number) override;
  bool Finish(uint64_t events, std::string& error) override;

 private:
  template <typename Value>
  struct KindColumns;

  bool WriteAttributes(uint64_t events);
  void Close();

  const std::string path;
  const std::vector<std::string> files;
  const uint64_t firstEvent;
  hid_t file = H5I_INVALID_HID;
  std::unique_ptr<KindColumns<uint16_t>> adc;
  std::unique_ptr<KindColumns<uint16_t>> tdc;
  std::unique_ptr<KindColumns<uint32_t>> scaler;
  std::unique_ptr<KindColumns<float>> epics;
};
