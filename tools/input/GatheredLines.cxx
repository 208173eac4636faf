#include "tools/input/GatheredLines.h"

GatheredLines::GatheredLines() = default;

void GatheredLines::WriteTo(std::ostream& toOutput, std::ostream& toErrors) const
{
  for (const Piece& piece : pieces) {
    std::ostream& stream = piece.stream == kOutput ? toOutput : toErrors;
    // The reader ends each line with std::endl: so does the copy, where the stream is a console.
    stream << piece.text << std::flush;
  }
}

std::string& GatheredLines::Buffer::Text()
{
  if (pieces.empty() || pieces.back().stream != stream) pieces.push_back(Piece{stream, std::string()});
  return pieces.back().text;
}

GatheredLines::Buffer::int_type GatheredLines::Buffer::overflow(int_type c)
{
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  Text().push_back(traits_type::to_char_type(c));
  return c;
}

std::streamsize GatheredLines::Buffer::xsputn(const char* text, std::streamsize count)
{
  Text().append(text, static_cast<size_t>(count));
  return count;
}
