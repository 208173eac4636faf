#pragma once

#include <charconv>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// Buffered text output for the CSV writers: numbers formatted with to_chars into a large buffer
// that goes to the stream in one write when it fills, never a flush per line. The stream is the
// caller's, and must outlive the writer; its state tells whether the writes succeeded.
class TextWriter {
 public:
  explicit TextWriter(std::ostream& stream);
  ~TextWriter() { Drain(); }
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  TextWriter& operator<<(char c)
  {
    Reserve(1);
    buffer[used++] = c;
    return *this;
  }
  TextWriter& operator<<(const char* text);
  TextWriter& operator<<(const std::string& text) { return Put(text.data(), text.size()); }
  TextWriter& operator<<(uint64_t number) { return Number(number); }
  TextWriter& operator<<(uint32_t number) { return Number(number); }
  TextWriter& operator<<(uint16_t number) { return Number(number); }
  // The shortest text that reads back as the same number.
  TextWriter& operator<<(float number) { return Number(number); }
  TextWriter& operator<<(double number) { return Number(number); }

  // Hands what the buffer holds to the stream.
  void Drain();

 private:
  static constexpr size_t kBufferBytes = 1 << 20;
  static constexpr size_t kLongestNumber = 32;

  template <typename T>
  TextWriter& Number(T number)
  {
    Reserve(kLongestNumber);
    used = std::to_chars(buffer.data() + used, buffer.data() + buffer.size(), number).ptr - buffer.data();
    return *this;
  }
  TextWriter& Put(const char* text, size_t length);
  void Reserve(size_t bytes)
  {
    if (used + bytes > buffer.size()) Drain();
  }

  std::ostream& stream;
  std::vector<char> buffer;
  size_t used = 0;
};
