#include "tools/export/Hdf5Column.h"

namespace {

// The file type of each row type: little-endian, as the data files' readers expect everywhere,
// and the matching type in memory.
template <typename T>
struct RowType;
template <>
struct RowType<uint16_t> {
  static hid_t File() { return H5T_STD_U16LE; }
  static hid_t Memory() { return H5T_NATIVE_UINT16; }
};
template <>
struct RowType<uint32_t> {
  static hid_t File() { return H5T_STD_U32LE; }
  static hid_t Memory() { return H5T_NATIVE_UINT32; }
};
template <>
struct RowType<uint64_t> {
  static hid_t File() { return H5T_STD_U64LE; }
  static hid_t Memory() { return H5T_NATIVE_UINT64; }
};
template <>
struct RowType<float> {
  static hid_t File() { return H5T_IEEE_F32LE; }
  static hid_t Memory() { return H5T_NATIVE_FLOAT; }
};

// Fast enough to keep up with the reader; most of what shuffling makes compressible is won.
constexpr unsigned kDeflateLevel = 1;

}  // namespace

template <typename T>
Hdf5Column<T>::Hdf5Column(hid_t group, const char* name, bool compress) : rows(new T[kChunkRows])
{
  const hsize_t empty = 0;
  const hsize_t unlimited = H5S_UNLIMITED;
  const hid_t space = H5Screate_simple(1, &empty, &unlimited);
  const hid_t properties = H5Pcreate(H5P_DATASET_CREATE);
  H5Pset_chunk(properties, 1, &kChunkRows);
  // Every row is written, so a chunk need not be filled with a default value first.
  H5Pset_fill_time(properties, H5D_FILL_TIME_NEVER);
  if (compress) {
    H5Pset_shuffle(properties);
    H5Pset_deflate(properties, kDeflateLevel);
  }
  const hid_t access = H5Pcreate(H5P_DATASET_ACCESS);
  H5Pset_chunk_cache(access, H5D_CHUNK_CACHE_NSLOTS_DEFAULT, 0, H5D_CHUNK_CACHE_W0_DEFAULT);
  dataset = H5Dcreate2(group, name, RowType<T>::File(), space, H5P_DEFAULT, properties, access);
  failed = dataset < 0;
  H5Pclose(access);
  H5Pclose(properties);
  H5Sclose(space);
}

template <typename T>
void Hdf5Column<T>::WriteHeld()
{
  const hsize_t count = held;
  const hsize_t size = written + count;
  if (!failed && count != 0) {
    const hid_t fileSpace = (H5Dset_extent(dataset, &size) < 0) ? H5I_INVALID_HID : H5Dget_space(dataset);
    const hid_t memorySpace = H5Screate_simple(1, &count, nullptr);
    failed = fileSpace < 0 ||
             H5Sselect_hyperslab(fileSpace, H5S_SELECT_SET, &written, nullptr, &count, nullptr) < 0 ||
             H5Dwrite(dataset, RowType<T>::Memory(), memorySpace, fileSpace, H5P_DEFAULT, rows.get()) < 0;
    H5Sclose(memorySpace);
    if (fileSpace >= 0) H5Sclose(fileSpace);
  }
  // Rows that could not be written still count, so that the offsets stay in step; the failure
  // is reported at Close.
  written = size;
  held = 0;
}

template <typename T>
bool Hdf5Column<T>::Close()
{
  if (dataset < 0) return !failed;
  WriteHeld();
  failed = H5Dclose(dataset) < 0 || failed;
  dataset = H5I_INVALID_HID;
  return !failed;
}

template class Hdf5Column<uint16_t>;
template class Hdf5Column<uint32_t>;
template class Hdf5Column<uint64_t>;
template class Hdf5Column<float>;
