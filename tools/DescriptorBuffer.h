#pragma once

#include <streambuf>

// A stream buffer that writes to a file descriptor and keeps the reason (errno) of its first
// failed write, which a stream's failure flag alone loses. After a failure it writes nothing
// more. An interrupted write is resumed. The descriptor stays open: its owner closes it.
class DescriptorBuffer : public std::streambuf {
 public:
  explicit DescriptorBuffer(int descriptor);
  ~DescriptorBuffer() override;
  DescriptorBuffer(const DescriptorBuffer&) = delete;
  DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

  // The errno of the first failed write; 0 while every write succeeded.
  int Error() const { return error; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize size) override;
  int sync() override;

 private:
  bool Flush();
  bool WriteAll(const char* data, size_t size);

  static constexpr size_t kBufferSize = 65536;

  const int descriptor;
  int error = 0;
  char buffer[kBufferSize];
};
