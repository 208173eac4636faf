#include "tools/output/TextWriter.h"

#include <cstring>

TextWriter::TextWriter(std::ostream& stream) : stream(stream), buffer(kBufferBytes) {}

TextWriter& TextWriter::operator<<(const char* text) { return Put(text, std::strlen(text)); }

TextWriter& TextWriter::Put(const char* text, size_t length)
{
  if (length > buffer.size()) {
    Drain();
    stream.write(text, static_cast<std::streamsize>(length));
    return *this;
  }
  Reserve(length);
  std::memcpy(buffer.data() + used, text, length);
  used += length;
  return *this;
}

void TextWriter::Drain()
{
  stream.write(buffer.data(), static_cast<std::streamsize>(used));
  used = 0;
}
