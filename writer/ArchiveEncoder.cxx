#include "writer/ArchiveEncoder.h"

#include <archive_entry.h>

#include "reader/TArchiveFilter.h"

namespace {

la_ssize_t WriteToSink(archive*, void* sink, const void* bytes, size_t size)
{
  std::ostream& out = *static_cast<std::ostream*>(sink);
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  return out ? static_cast<la_ssize_t>(size) : -1;
}

// A boolean filter option is on with any value and off with none.
constexpr const char* kOn = "1";

}  // namespace

ArchiveEncoder::ArchiveEncoder(TCodec codec, std::ostream& sink) : writer(archive_write_new())
{
  if (!writer) {
    Fail("the archive library could not start");
  } else if (!Begin(codec, sink)) {
    FailWithLibraryError("unknown error");
  }
}

ArchiveEncoder::~ArchiveEncoder()
{
  if (writer) archive_write_free(writer);
}

bool ArchiveEncoder::FailWithLibraryError(const char* fallback)
{
  return Fail(ArchiveError(writer, fallback));
}

bool ArchiveEncoder::SetFilterOptions(TCodec codec)
{
  const char* const filter = CodecName(codec);
  switch (codec) {
    case TCodec::kGzip:
      return archive_write_set_filter_option(writer, filter, "timestamp", nullptr) == ARCHIVE_OK;
    case TCodec::kLz4:
      return archive_write_set_filter_option(writer, filter, "stream-checksum", kOn) == ARCHIVE_OK &&
             archive_write_set_filter_option(writer, filter, "block-checksum", kOn) == ARCHIVE_OK;
    default:
      return true;
  }
}

bool ArchiveEncoder::Begin(TCodec codec, std::ostream& sink)
{
  archive_entry* entry = archive_entry_new();
  if (!entry) return false;
  archive_entry_set_pathname(entry, "data");
  archive_entry_set_filetype(entry, AE_IFREG);
  const bool begun = archive_write_add_filter(writer, ArchiveFilterOf(codec)) == ARCHIVE_OK &&
                     SetFilterOptions(codec) && archive_write_set_format_raw(writer) == ARCHIVE_OK &&
                     archive_write_set_bytes_in_last_block(writer, 1) == ARCHIVE_OK &&
                     archive_write_open(writer, &sink, nullptr, WriteToSink, nullptr) == ARCHIVE_OK &&
                     archive_write_header(writer, entry) == ARCHIVE_OK;
  archive_entry_free(entry);
  return begun;
}

bool ArchiveEncoder::Write(const char* bytes, size_t size)
{
  if (archive_write_data(writer, bytes, size) == static_cast<la_ssize_t>(size)) return true;
  return FailWithLibraryError("short write");
}

bool ArchiveEncoder::Finish()
{
  return archive_write_close(writer) == ARCHIVE_OK || FailWithLibraryError("cannot finish");
}
