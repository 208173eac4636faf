#include "tools/output/DescriptorBuffer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

DescriptorBuffer::DescriptorBuffer(int descriptor, Flushes flushes) : descriptor(descriptor), flushes(flushes)
{
  setp(buffer, buffer + kBufferSize);
}

DescriptorBuffer::~DescriptorBuffer() { WriteOut(); }

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c)
{
  if (!WriteOut()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

// Large pieces go straight out, past the buffer.
std::streamsize DescriptorBuffer::xsputn(const char* data, std::streamsize size)
{
  const size_t length = static_cast<size_t>(size);
  if (length <= static_cast<size_t>(epptr() - pptr())) {
    std::memcpy(pptr(), data, length);
    pbump(static_cast<int>(length));
    return size;
  }
  if (!WriteOut()) return 0;
  if (length < kBufferSize) return xsputn(data, size);
  return WriteAll(data, length) ? size : 0;
}

// A held flush still fails the stream once a write failed, as a written one would.
int DescriptorBuffer::sync()
{
  const bool good = flushes == Flushes::kHeld ? error == 0 : WriteOut();
  return good ? 0 : -1;
}

bool DescriptorBuffer::WriteOut()
{
  const size_t pending = static_cast<size_t>(pptr() - pbase());
  setp(buffer, buffer + kBufferSize);
  return WriteAll(buffer, pending);
}

bool DescriptorBuffer::WriteAll(const char* data, size_t size)
{
  if (error != 0) return false;
  while (size > 0) {
    const ssize_t written = write(descriptor, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = written < 0 ? errno : EIO;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}
