#include "python/ReaderLines.h"

ReaderLines::ReaderLines() = default;

bool ReaderLines::KeepDrop(TTudaCause cause)
{
  const uint64_t met = ++drops[static_cast<size_t>(cause)];
  if (met <= kLinesPerCause) {
    // A kept drop line does not count against the lines of no cause.
    ++buffer.cap;
    return true;
  }
  ++omitted;
  return false;
}

void ReaderLines::LineBuffer::Put(char c)
{
  if (c != '\n') {
    open.push_back(c);
    return;
  }
  if (lines.size() < cap) {
    lines.push_back(std::move(open));
  } else {
    ++omitted;
  }
  open.clear();
}

ReaderLines::LineBuffer::int_type ReaderLines::LineBuffer::overflow(int_type c)
{
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  Put(traits_type::to_char_type(c));
  return c;
}

std::streamsize ReaderLines::LineBuffer::xsputn(const char* text, std::streamsize count)
{
  for (std::streamsize i = 0; i < count; ++i) Put(text[i]);
  return count;
}

GatheringReporter::GatheringReporter(ReaderLines& lines, InterruptLook& look)
    : AccountingReporter(lines.Stream(), lines.Stream(), kReaderLines), lines(lines), look(look)
{
}

void GatheringReporter::Dropped(const TTudaDrop& drop, const TTudaData& reader)
{
  if (lines.KeepDrop(drop.cause)) AccountingReporter::Dropped(drop, reader);
}

void GatheringReporter::BlockEnded(const TTudaBlockAccount& account)
{
  AccountingReporter::BlockEnded(account);
  look.AfterBlock();
}

ReaderAccount AccountSince(const ReaderAccount& now, const ReaderAccount& before)
{
  ReaderAccount since = now;
  for (size_t cause = 0; cause < kTudaCauses; ++cause) {
    since.droppedWords[cause] -= before.droppedWords[cause];
    since.blocksWithDrops[cause] -= before.blocksWithDrops[cause];
  }
  since.trailingBytes -= before.trailingBytes;
  since.trailingPieces -= before.trailingPieces;
  return since;
}
