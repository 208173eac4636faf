#include "tools/export/Hdf5EventSink.h"

#include <filesystem>
#include <system_error>

#include "tools/process/Version.h"

// The three datasets of one kind, in the kind's group.
template <typename Value>
struct Hdf5EventSink::KindColumns {
  KindColumns(hid_t file, const char* kind, bool compress)
      : group(H5Gcreate2(file, kind, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT)), channel(group, "channel", compress),
        value(group, "value", compress), offsets(group, "offsets", compress)
  {
    offsets.Push(0);
  }
  ~KindColumns() { Close(); }

  template <typename Item>
  void Add(const std::vector<Item>& items)
  {
    for (const Item& item : items) {
      channel.Push(item.channel);
      value.Push(item.value);
    }
    offsets.Push(channel.Size());
  }

  bool Close()
  {
    const bool columnsClosed = channel.Close() & value.Close() & offsets.Close();
    if (group < 0) return false;
    const bool groupClosed = H5Gclose(group) >= 0;
    group = H5I_INVALID_HID;
    return columnsClosed && groupClosed;
  }

  hid_t group;
  Hdf5Column<uint16_t> channel;
  Hdf5Column<Value> value;
  Hdf5Column<uint64_t> offsets;
};

namespace {

bool WriteNumberAttribute(hid_t file, const char* name, uint64_t number)
{
  const hid_t space = H5Screate(H5S_SCALAR);
  const hid_t attribute = H5Acreate2(file, name, H5T_STD_U64LE, space, H5P_DEFAULT, H5P_DEFAULT);
  const bool written = attribute >= 0 && H5Awrite(attribute, H5T_NATIVE_UINT64, &number) >= 0;
  if (attribute >= 0) H5Aclose(attribute);
  H5Sclose(space);
  return written;
}

// A UTF-8 text of any length, as h5py reads it back as str.
hid_t NewTextType()
{
  const hid_t type = H5Tcopy(H5T_C_S1);
  H5Tset_size(type, H5T_VARIABLE);
  H5Tset_cset(type, H5T_CSET_UTF8);
  return type;
}

// `pointers` holds one text per element of `space`.
bool WriteTextAttribute(hid_t file, const char* name, hid_t space, const char* const* pointers)
{
  const hid_t type = NewTextType();
  const hid_t attribute = H5Acreate2(file, name, type, space, H5P_DEFAULT, H5P_DEFAULT);
  const bool written = attribute >= 0 && H5Awrite(attribute, type, pointers) >= 0;
  if (attribute >= 0) H5Aclose(attribute);
  H5Sclose(space);
  H5Tclose(type);
  return written;
}

bool WriteTextsAttribute(hid_t file, const char* name, const std::vector<std::string>& texts)
{
  std::vector<const char*> pointers;
  for (const std::string& text : texts) pointers.push_back(text.c_str());
  const hsize_t count = texts.size();
  return WriteTextAttribute(file, name, H5Screate_simple(1, &count, nullptr), pointers.data());
}

bool WriteTextAttribute(hid_t file, const char* name, const char* text)
{
  return WriteTextAttribute(file, name, H5Screate(H5S_SCALAR), &text);
}

}  // namespace

Hdf5EventSink::Hdf5EventSink(const std::string& path, const std::vector<std::string>& files, uint64_t firstEvent,
                             bool compress)
    : path(path), files(files), firstEvent(firstEvent)
{
  // A file the library could not close stays in its tables, and its clean-up at exit would
  // crash closing it again; the sink closes its files itself.
  H5dont_atexit();
  // Failures are told in this program's words, once, rather than as the library's error stack.
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
  if (file < 0) return;
  adc = std::make_unique<KindColumns<uint16_t>>(file, kAdcKindName, compress);
  tdc = std::make_unique<KindColumns<uint16_t>>(file, kTdcKindName, compress);
  scaler = std::make_unique<KindColumns<uint32_t>>(file, kScalerKindName, compress);
  epics = std::make_unique<KindColumns<float>>(file, kEpicsKindName, compress);
}

Hdf5EventSink::~Hdf5EventSink() { Close(); }

bool Hdf5EventSink::Open(std::string& error) const
{
  if (file >= 0) return true;
  error = "cannot create the HDF5 file " + path;
  return false;
}

void Hdf5EventSink::Write(const TTudaEvent& event, uint64_t)
{
  adc->Add(event.adcItems);
  tdc->Add(event.tdcItems);
  scaler->Add(event.scalerItems);
  epics->Add(event.epicsItems);
}

bool Hdf5EventSink::WriteAttributes(uint64_t events)
{
  return WriteTextsAttribute(file, "files", files) & WriteNumberAttribute(file, "events", events) &
         WriteNumberAttribute(file, "first_event", firstEvent) &
         WriteTextAttribute(file, "tuda_version", TudaVersion());
}

bool Hdf5EventSink::Finish(uint64_t events, std::string& error)
{
  bool written = file >= 0 && adc->Close() & tdc->Close() & scaler->Close() & epics->Close();
  written = file >= 0 && WriteAttributes(events) && written;
  if (written && H5Fclose(file) >= 0) {
    file = H5I_INVALID_HID;
    return true;
  }
  error = "cannot write the HDF5 file " + path;
  Close();
  return false;
}

// A file not written whole is given up: it is emptied first, so that on a full disk the
// library finds room for what it still holds and can close it.
void Hdf5EventSink::Close()
{
  adc.reset();
  tdc.reset();
  scaler.reset();
  epics.reset();
  if (file < 0) return;
  // A device written as it is cannot be emptied, and is only closed.
  std::error_code unemptied;
  std::filesystem::resize_file(path, 0, unemptied);
  H5Fclose(file);
  file = H5I_INVALID_HID;
}
