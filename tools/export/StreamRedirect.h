#pragma once

#include <ostream>
#include <streambuf>

// Sends `stream` to `buffer` while it lives, then gives it back its own; a null buffer leaves the
// stream alone. For lines that must not reach the console as they would (a reader's lines while
// standard output carries data, or while a first look reads a file). Made and ended on the one
// thread that writes the stream; the buffer must outlive it.
class StreamRedirect {
 public:
  StreamRedirect(std::ostream& stream, std::streambuf* buffer)
      : stream(stream), saved(buffer != nullptr ? stream.rdbuf(buffer) : nullptr)
  {
  }
  ~StreamRedirect()
  {
    if (saved != nullptr) stream.rdbuf(saved);
  }
  StreamRedirect(const StreamRedirect&) = delete;
  StreamRedirect& operator=(const StreamRedirect&) = delete;

 private:
  std::ostream& stream;
  std::streambuf* const saved;
};
