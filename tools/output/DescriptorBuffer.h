#pragma once

#include <streambuf>

// A stream buffer that writes to a file descriptor and keeps the reason (errno) of its first
// failed write, which a stream's failure flag alone loses. After a failure it writes nothing
// more. An interrupted write is resumed. The descriptor stays open: its owner closes it.
class DescriptorBuffer : public std::streambuf {
 public:
  // What a flush of the stream (std::flush, std::endl) does.
  enum class Flushes {
    kWritten,  // writes what the buffer holds
    kHeld,     // nothing: the buffer is written when full, at WriteOut and at the end
  };

  explicit DescriptorBuffer(int descriptor, Flushes flushes = Flushes::kWritten);
  ~DescriptorBuffer() override;
  DescriptorBuffer(const DescriptorBuffer&) = delete;
  DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

  // The errno of the first failed write; 0 while every write succeeded.
  int Error() const { return error; }

  // Writes what the buffer holds, whatever its flushes do; false once a write failed.
  bool WriteOut();

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize size) override;
  int sync() override;

 private:
  bool WriteAll(const char* data, size_t size);

  static constexpr size_t kBufferSize = 65536;

  const int descriptor;
  const Flushes flushes;
  int error = 0;
  char buffer[kBufferSize];
};
