#pragma once

#include <cstddef>
#include <deque>
#include <streambuf>
#include <string>
#include <vector>

// A stream buffer that passes every character on to another one (standard error's) and keeps
// the last few whole lines written through it, for the page. One thread writes and reads it.
class LineTail : public std::streambuf {
 public:
  LineTail(std::streambuf* next, size_t lines) : next(next), most(lines) {}

  std::vector<std::string> Lines() const { return {kept.begin(), kept.end()}; }

 protected:
  int_type overflow(int_type character) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override { return next->pubsync(); }

 private:
  void Keep(char character);

  std::streambuf* const next;
  const size_t most;
  std::string line;
  std::deque<std::string> kept;
};
