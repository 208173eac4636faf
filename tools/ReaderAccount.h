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

// Sums what its reader drops into a ReaderAccount. It writes the reader's lines as the reader
// does without a reporter, on the streams it is given (standard output and error by default),
// unless made silent, for a command that shows the drops itself.
class AccountingReporter : public TTudaReporter {
 public:
  enum Lines { kReaderLines, kNoDropLines };

  AccountingReporter() = default;
  AccountingReporter(std::ostream& output, std::ostream& errors, Lines lines);

  void Dropped(const TTudaDrop& drop, const TTudaData& reader) override;
  void BlockEnded(const TTudaBlockAccount& account) override;
  void TrailingPiece(uint64_t bytes) override;

  const ReaderAccount& Account() const { return account; }

 private:
  Lines lines = kReaderLines;
  ReaderAccount account;
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
  // Installs the reporter on `reader`, which must not outlive this.
  void Install(TTudaData& reader) { reader.SetReporter(&reporter); }
  // The line, after everything else the command writes: for the installed reporter's account,
  // or for `account`, then `more`.
  void Write() const;
  void Write(const ReaderAccount& account, const std::string& more) const;

 private:
  const char* const name;
  bool quiet = false;
  AccountingReporter reporter;
};
