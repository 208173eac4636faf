#include "tools/TextWriter.h"

#include <cstring>

TextWriter::TextWriter(std::FILE* stream) : stream(stream), buffer(kBufferBytes) {}

TextWriter& TextWriter::operator<<(const char* text) { return Put(text, std::strlen(text)); }

TextWriter& TextWriter::Put(const char* text, size_t length)
{
  if (length > buffer.size()) {
    Drain();
    failed = failed || std::fwrite(text, 1, length, stream) != length;
    return *this;
  }
  Reserve(length);
  std::memcpy(buffer.data() + used, text, length);
  used += length;
  return *this;
}

void TextWriter::Drain()
{
  failed = failed || std::fwrite(buffer.data(), 1, used, stream) != used;
  used = 0;
}

bool TextWriter::Flush()
{
  Drain();
  failed = failed || std::fflush(stream) != 0;
  return !failed;
}
