#include "writer/CompressedOutput.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <streambuf>
#include <utility>
#include <vector>

#include "writer/Encoder.h"

#ifdef TUDA_COMPRESSION
#include "writer/ArchiveEncoder.h"
#include "writer/ZstdEncoder.h"
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

#ifdef TUDA_COMPRESSION
// The zstd library where the archive library cannot add a frame checksum; the archive library
// for the rest.
std::unique_ptr<Encoder> MakeEncoder(TCodec codec, std::ostream& sink)
{
  if (codec == TCodec::kZstd) return std::make_unique<ZstdEncoder>(sink);
  return std::make_unique<ArchiveEncoder>(codec, sink);
}
#endif

// The stream buffer: gathers what is written and hands it to the encoder in large pieces.
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

  bool Begin(TCodec codec, std::ostream* sink);
  std::ostream* OpenFile();
  bool Flush();
  bool Fail(const std::string& what);
  bool EncoderFailed();

  const std::string path;
  std::ofstream file;  // written when no sink is given
  std::vector<char> buffer;
  std::string error;
  std::unique_ptr<Encoder> encoder;
  bool closed = false;
};

CompressedOutput::Filter::Filter(const std::string& path, std::ostream* sink, TCodec codec)
    : path(path), buffer(kBufferBytes)
{
  setp(buffer.data(), buffer.data() + buffer.size());
  if (!Begin(codec, sink)) closed = true;
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

bool CompressedOutput::Filter::EncoderFailed()
{
  return Fail(encoder->Error());
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
std::ostream* CompressedOutput::Filter::OpenFile()
{
  errno = 0;
  file.open(path, std::ios::out | std::ios::binary | std::ios::trunc);
  if (file.is_open()) return &file;
  Fail(errno ? std::strerror(errno) : "cannot open");
  return nullptr;
}

bool CompressedOutput::Filter::Begin(TCodec codec, std::ostream* sink)
{
  if (codec == TCodec::kNone) return Fail("no compression named");
  std::ostream* const target = sink ? sink : OpenFile();
  if (!target) return false;
  encoder = MakeEncoder(codec, *target);
  return encoder->Error().empty() || EncoderFailed();
}
#else
bool CompressedOutput::Filter::Begin(TCodec, std::ostream*)
{
  return Fail("this build writes no compressed files");
}
#endif

bool CompressedOutput::Filter::Flush()
{
  const size_t bytes = static_cast<size_t>(pptr() - pbase());
  setp(buffer.data(), buffer.data() + buffer.size());
  if (closed) return bytes == 0 && error.empty();
  return bytes == 0 || encoder->Write(buffer.data(), bytes) || EncoderFailed();
}

bool CompressedOutput::Filter::Close()
{
  bool ok = Flush();
  if (!closed && !encoder->Finish()) ok = EncoderFailed();
  closed = true;
  encoder.reset();
  if (file.is_open()) {
    file.close();
    if (!file) ok = Fail(std::strerror(errno));
  }
  return ok && error.empty();
}

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
