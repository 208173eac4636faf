#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "python/Interruption.h"
#include "reader/TTudaReporter.h"
#include "tools/input/ReaderAccount.h"

// The lines a reader writes, kept instead of reaching the process's streams: a reader run from
// Python prints nothing. A file of noise would make a line per token, so each cause keeps its
// first kLinesPerCause lines and only counts the rest; the counts stay whole.
class ReaderLines {
 public:
  static constexpr uint64_t kLinesPerCause = 20;
  // Lines of no cause (files opened, damage) kept at most.
  static constexpr size_t kOtherLines = 1000;

  ReaderLines();
  ReaderLines(const ReaderLines&) = delete;
  ReaderLines& operator=(const ReaderLines&) = delete;

  std::ostream& Stream() { return stream; }
  const std::vector<std::string>& Lines() const { return buffer.lines; }
  // Drops of each cause met, whether its line was kept or not.
  const std::array<uint64_t, kTudaCauses>& Drops() const { return drops; }
  uint64_t OmittedLines() const { return omitted + buffer.omitted; }

  // Whether the line of a drop of `cause` is to be kept; counts the drop either way.
  bool KeepDrop(TTudaCause cause);

 private:
  // Splits what is written into lines; a line beyond the cap is counted, not kept.
  class LineBuffer : public std::streambuf {
   public:
    std::vector<std::string> lines;
    std::string open;
    size_t cap = kOtherLines;
    uint64_t omitted = 0;

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;

   private:
    void Put(char c);
  };

  LineBuffer buffer;
  std::ostream stream{&buffer};
  std::array<uint64_t, kTudaCauses> drops{};
  uint64_t omitted = 0;
};

// Sums what the reader drops, as the tools' account line does, keeps its lines in `lines`, and
// has `look` look for Ctrl-C after every block.
class GatheringReporter : public AccountingReporter {
 public:
  GatheringReporter(ReaderLines& lines, InterruptLook& look);

  void Dropped(const TTudaDrop& drop, const TTudaData& reader) override;
  void BlockEnded(const TTudaBlockAccount& account) override;

 private:
  ReaderLines& lines;
  InterruptLook& look;
};

// What the reader lost between two of its accounts.
ReaderAccount AccountSince(const ReaderAccount& now, const ReaderAccount& before);
