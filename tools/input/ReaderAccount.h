#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "reader/TTudaData.h"
#include "reader/TTudaReporter.h"

namespace CLI {
class App;
}

// What a reader lost: the account line that every subcommand owning a reader writes at its end.

// The words a reader left undecoded, by cause, and the trailing pieces it met.
struct ReaderAccount {
  std::array<uint64_t, kTudaCauses> droppedWords{};
  std::array<uint64_t, kTudaCauses> blocksWithDrops{};  // blocks that dropped words for the cause
  uint64_t trailingBytes = 0;
  uint64_t trailingPieces = 0;

  void Add(const ReaderAccount& other);
};

// Why the words of a cause were lost, in the account line's words; null for a cause that loses
// nothing.
const char* LossReason(size_t cause);

// Sums what its reader drops into a ReaderAccount. It writes the reader's lines as the reader
// does without a reporter, on the streams it is given (standard output and error by default),
// unless made silent, for a command that shows the drops itself. Capped, it writes at most
// kMostLinesPerCause of them for each cause, then "tuda COMMAND: further lines like this
// suppressed; the account line counts them all" on the error stream: a file that is mostly not
// data would otherwise write several lines for each of its words.
class AccountingReporter : public TTudaReporter {
 public:
  enum Lines { kReaderLines, kNoDropLines };
  static constexpr uint64_t kMostLinesPerCause = 1000;

  AccountingReporter() = default;
  AccountingReporter(std::ostream& output, std::ostream& errors, Lines lines);

  void Dropped(const TTudaDrop& drop, const TTudaData& reader) override;
  void BlockEnded(const TTudaBlockAccount& account) override;
  void TrailingPiece(uint64_t bytes) override;

  const ReaderAccount& Account() const { return account; }

  // From now on the lines are capped, in the name of `command`, or not, for null. The lines
  // counted against the cap are kept from one call to the next.
  void CapLines(const char* command) { cappedBy = command; }

 private:
  // Whether the reader's line for a drop of `cause` is to be written; the suppression line once
  // the cap is reached.
  bool Admits(TTudaCause cause);

  Lines lines = kReaderLines;
  ReaderAccount account;
  const char* cappedBy = nullptr;
  std::array<uint64_t, kTudaCauses> linesWritten{};  // while capped, up to one past the cap
};

// "1,039,082 words in 9,120 blocks not decoded (...)": what was lost, cause by cause; empty when
// nothing was. Zero padding after the data length and the items held at the end are not lost.
std::string AccountText(const ReaderAccount& account);

// "tuda NAME: 1,039,082 words in 9,120 blocks not decoded (...); tuda stat shows more" on
// standard error when anything was lost: no line when nothing was. Zero padding after the data
// length and the items held at the end of the data are not lost. `more` ends the line.
void WriteAccountLine(const std::string& name, const ReaderAccount& account, const std::string& more);

// The account line of a subcommand that reads with one reader: --quiet, the reporter, the line.
class AccountLine {
 public:
  explicit AccountLine(const char* name) : name(name) {}

  // Declares --quiet, which suppresses the line.
  void Declare(CLI::App& app);
  // Declares --all-messages, which lifts the cap of CapReaderLines.
  void DeclareAllMessages(CLI::App& app);
  // From now on the reader's lines are capped (see AccountingReporter), unless --all-messages
  // was given, or written in full.
  void CapReaderLines(bool cap) { reporter.CapLines(cap && !allMessages ? name : nullptr); }
  // Installs the reporter on `reader`, which must not outlive this.
  void Install(TTudaData& reader) { reader.SetReporter(&reporter); }
  // The line, after everything else the command writes: for the installed reporter's account,
  // or for `account`, then `more`.
  void Write() const;
  void Write(const ReaderAccount& account, const std::string& more) const;

 private:
  const char* const name;
  bool quiet = false;
  bool allMessages = false;
  AccountingReporter reporter;
};
