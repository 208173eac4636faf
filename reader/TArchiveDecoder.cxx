#include "reader/TArchiveDecoder.h"

#include "reader/TArchiveFilter.h"

TArchiveDecoder::TArchiveDecoder(TRawInput& input, int filter)
    : TDecoder(input), fArchive(archive_read_new()), fFilter(filter)
{
  if (!fArchive) Fail("the archive library could not start");
}

TArchiveDecoder::~TArchiveDecoder()
{
  if (fArchive) archive_read_free(fArchive);
}

la_ssize_t TArchiveDecoder::SupplyInput(archive*, void* self, const void** buffer)
{
  TArchiveDecoder& decoder = *static_cast<TArchiveDecoder*>(self);
  *buffer = decoder.InputBuffer();
  return static_cast<la_ssize_t>(decoder.ReadInput());
}

void TArchiveDecoder::FailWithLibraryError()
{
  Fail(ArchiveError(fArchive, "the archive library gave no reason"));
}

// Opening reads ahead into the data, so it is left to the helper thread's first Decode. Data
// that decompress to nothing make an empty archive rather than one raw entry.
void TArchiveDecoder::Begin()
{
  fBegun = true;
  archive_entry* entry = nullptr;
  if (archive_read_support_format_raw(fArchive) != ARCHIVE_OK ||
      archive_read_support_format_empty(fArchive) != ARCHIVE_OK ||
      archive_read_append_filter(fArchive, fFilter) != ARCHIVE_OK ||
      archive_read_open(fArchive, this, nullptr, SupplyInput, nullptr) != ARCHIVE_OK ||
      // Damage found while the formats look ahead leaves nothing for the raw format to claim, so
      // the empty one does, and only the error left behind tells.
      archive_error_string(fArchive)) {
    FailWithLibraryError();
    return;
  }
  const int status = archive_read_next_header(fArchive, &entry);
  if (status == ARCHIVE_EOF) {
    fEnded = true;
  } else if (status != ARCHIVE_OK) {
    FailWithLibraryError();
  }
}

size_t TArchiveDecoder::Decode(char* out, size_t size)
{
  if (!fBegun && !Failed()) Begin();
  size_t count = 0;
  while (count < size && !fEnded && !Failed()) {
    const la_ssize_t got = archive_read_data(fArchive, out + count, size - count);
    if (got > 0) {
      count += static_cast<size_t>(got);
    } else if (got == 0) {
      fEnded = true;
    } else {
      FailWithLibraryError();
    }
  }
  return count;
}
