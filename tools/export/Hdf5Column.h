#pragma once

#include <hdf5.h>

#include <cstdint>
#include <memory>

// One growing one-dimensional HDF5 dataset of numbers: rows are gathered in memory and written
// a chunk at a time, so that appending a row allocates nothing and calls no library. The group
// must outlive the column; Close writes the rows still held.
template <typename T>
class Hdf5Column {
 public:
  // Rows per chunk of the dataset, and per write.
  static constexpr hsize_t kChunkRows = 1 << 16;

  // A dataset `name` in `group`, empty, chunked, and with `compress` shuffled and deflated.
  Hdf5Column(hid_t group, const char* name, bool compress);
  ~Hdf5Column() { Close(); }
  Hdf5Column(const Hdf5Column&) = delete;
  Hdf5Column& operator=(const Hdf5Column&) = delete;

  void Push(T row)
  {
    rows[held++] = row;
    if (held == kChunkRows) WriteHeld();
  }
  // Rows pushed so far.
  uint64_t Size() const { return written + held; }
  // Writes the rows still held and closes the dataset; false when any write failed.
  bool Close();

 private:
  void WriteHeld();

  hid_t dataset = H5I_INVALID_HID;
  const std::unique_ptr<T[]> rows;  // kChunkRows, of which `held` are pushed and not yet written
  hsize_t held = 0;
  hsize_t written = 0;
  bool failed = false;
};

extern template class Hdf5Column<uint16_t>;
extern template class Hdf5Column<uint32_t>;
extern template class Hdf5Column<uint64_t>;
extern template class Hdf5Column<float>;
