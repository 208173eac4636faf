#include "tools/monitor/LineTail.h"

namespace {

// A line longer than this is kept cut: the page shows lines, not data.
constexpr size_t kLongestLine = 400;

}  // namespace

LineTail::int_type LineTail::overflow(int_type character)
{
  if (traits_type::eq_int_type(character, traits_type::eof())) return traits_type::not_eof(character);
  Keep(traits_type::to_char_type(character));
  return next->sputc(traits_type::to_char_type(character));
}

std::streamsize LineTail::xsputn(const char* text, std::streamsize count)
{
  for (std::streamsize i = 0; i < count; ++i) Keep(text[i]);
  return next->sputn(text, count);
}

void LineTail::Keep(char character)
{
  if (character != '\n') {
    if (line.size() < kLongestLine) line += character;
    return;
  }
  kept.push_back(std::move(line));
  line.clear();
  if (kept.size() > most) kept.pop_front();
}
