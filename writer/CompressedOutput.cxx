#include "writer/CompressedOutput.h"

#include <streambuf>
#include <utility>
#include <vector>

#ifdef TUDA_COMPRESSION
#include <archive.h>
#include <archive_entry.h>

#include "reader/TArchiveFilter.h"
#endif

namespace {

struct Ending {
  const char* suffix;
  TCodec codec;
};

const Ending kEndings[] = {{".gz", TCodec::kGzip},  {".bz2", TCodec::kBzip2}, {".xz", TCodec::kXz},
                           {".zst", TCodec::kZstd}, {".lz4", TCodec::kLz4}};

bool EndsWith(const std::string& text, const std::string& suffix)
{
  return text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

TCodec CodecOfOutputName(const std::string& path)
{
  for (const Ending& ending : kEndings) {
    if (EndsWith(path, ending.suffix)) return ending.codec;
  }
  return TCodec::kNone;
}

// The stream buffer: gathers what is written and hands it to the compressor in large pieces.
class CompressedOutput::Filter : public std::streambuf {
 public:
  Filter(const std::string& path, std::ostream* sink, TCodec codec);
  ~Filter() override;

  bool Close();
  const std::string& Error() const { return error; }

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  static constexpr size_t kBufferBytes = 1 << 16;

  bool Begin(TCodec codec);
  bool Flush();
  bool Fail(const std::string& what);

  const std::string path;
  std::ostream* const sink;  // null: the file `path` is written
  std::vector<char> buffer;
  std::string error;
#ifdef TUDA_COMPRESSION
  archive* writer = nullptr;
#endif
  bool closed = false;
};

CompressedOutput::Filter::Filter(const std::string& path, std::ostream* sink, TCodec codec)
    : path(path), sink(sink), buffer(kBufferBytes)
{
  setp(buffer.data(), buffer.data() + buffer.size());
  if (!Begin(codec)) closed = true;
}

CompressedOutput::Filter::~Filter()
{
  Close();
}

bool CompressedOutput::Filter::Fail(const std::string& what)
{
  if (error.empty()) error = "cannot write " + path + ": " + what;
  return false;
}

CompressedOutput::Filter::int_type CompressedOutput::Filter::overflow(int_type c)
{
  if (!Flush()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int CompressedOutput::Filter::sync()
{
  return Flush() ? 0 : -1;
}

#ifdef TUDA_COMPRESSION
namespace {

la_ssize_t WriteToSink(archive*, void* sink, const void* bytes, size_t size)
{
  std::ostream& out = *static_cast<std::ostream*>(sink);
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  return out ? static_cast<la_ssize_t>(size) : -1;
}

int Open(archive* writer, const std::string& path, std::ostream* sink)
{
  if (sink) return archive_write_open(writer, sink, nullptr, WriteToSink, nullptr);
  return archive_write_open_filename(writer, path.c_str());
}

}  // namespace

// One raw entry, no padding after the compressed stream, no time stamp in a gzip header.
bool CompressedOutput::Filter::Begin(TCodec codec)
{
  if (codec == TCodec::kNone) return Fail("no compression named");
  writer = archive_write_new();
  if (!writer) return Fail("the archive library could not start");
  archive_entry* entry = archive_entry_new();
  if (!entry) return Fail("the archive library could not start");
  archive_entry_set_pathname(entry, "data");
  archive_entry_set_filetype(entry, AE_IFREG);
  const bool begun =
      archive_write_add_filter(writer, ArchiveFilterOf(codec)) == ARCHIVE_OK &&
      (codec != TCodec::kGzip || archive_write_set_filter_option(writer, "gzip", "timestamp", nullptr) == ARCHIVE_OK) &&
      archive_write_set_format_raw(writer) == ARCHIVE_OK &&
      archive_write_set_bytes_in_last_block(writer, 1) == ARCHIVE_OK &&
      Open(writer, path, sink) == ARCHIVE_OK &&
      archive_write_header(writer, entry) == ARCHIVE_OK;
  archive_entry_free(entry);
  return begun || Fail(ArchiveError(writer, "unknown error"));
}

bool CompressedOutput::Filter::Flush()
{
  const size_t bytes = static_cast<size_t>(pptr() - pbase());
  setp(buffer.data(), buffer.data() + buffer.size());
  if (closed) return bytes == 0 && error.empty();
  if (bytes == 0) return true;
  const la_ssize_t written = archive_write_data(writer, buffer.data(), bytes);
  if (written == static_cast<la_ssize_t>(bytes)) return true;
  return Fail(ArchiveError(writer, "short write"));
}

bool CompressedOutput::Filter::Close()
{
  bool ok = Flush();
  if (!closed && archive_write_close(writer) != ARCHIVE_OK) {
    ok = Fail(ArchiveError(writer, "cannot finish"));
  }
  closed = true;
  if (writer) archive_write_free(std::exchange(writer, nullptr));
  return ok && error.empty();
}
#else
bool CompressedOutput::Filter::Begin(TCodec)
{
  return Fail("this build writes no compressed files");
}

bool CompressedOutput::Filter::Flush()
{
  setp(buffer.data(), buffer.data() + buffer.size());
  return false;
}

bool CompressedOutput::Filter::Close()
{
  closed = true;
  return false;
}
#endif

CompressedOutput::CompressedOutput(const std::string& path, TCodec codec)
    : CompressedOutput(std::make_unique<Filter>(path, nullptr, codec))
{
}

CompressedOutput::CompressedOutput(std::ostream& sink, const std::string& name, TCodec codec)
    : CompressedOutput(std::make_unique<Filter>(name, &sink, codec))
{
}

CompressedOutput::CompressedOutput(std::unique_ptr<Filter> made) : std::ostream(nullptr), filter(std::move(made))
{
  rdbuf(filter.get());
  if (!filter->Error().empty()) setstate(std::ios::badbit);
}

CompressedOutput::~CompressedOutput() = default;

bool CompressedOutput::Close()
{
  const bool ok = filter->Close();
  if (!ok) setstate(std::ios::badbit);
  return ok;
}

const std::string& CompressedOutput::Error() const
{
  return filter->Error();
}
