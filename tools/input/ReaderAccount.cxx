#include "tools/input/ReaderAccount.h"

#include <iostream>

#include <CLI/CLI.hpp>

#include "tools/console/Text.h"

namespace {

// Why the words of each cause were lost, as the account line says it; null for the causes that
// lose nothing (a block without a marker drops no word; zero padding is fill).
const char* const kLossReasons[kTudaCauses] = {
    "items of unknown groups",
    "group items, unused at TUDA",
    "extended group items, unsupported",
    "items of groups above 64",
    "a token runs past the end of these blocks",
    nullptr,
    "the data length ends these blocks before their marker",
    nullptr,
};

std::string Joined(const std::string& text, const std::string& part)
{
  return text.empty() ? part : text + "; " + part;
}

}  // namespace

const char* LossReason(size_t cause)
{
  return cause < kTudaCauses ? kLossReasons[cause] : nullptr;
}

void ReaderAccount::Add(const ReaderAccount& other)
{
  for (size_t cause = 0; cause < kTudaCauses; ++cause) {
    droppedWords[cause] += other.droppedWords[cause];
    blocksWithDrops[cause] += other.blocksWithDrops[cause];
  }
  trailingBytes += other.trailingBytes;
  trailingPieces += other.trailingPieces;
}

AccountingReporter::AccountingReporter(std::ostream& output, std::ostream& errors, Lines lines)
    : TTudaReporter(output, errors), lines(lines)
{
}

void AccountingReporter::Dropped(const TTudaDrop& drop, const TTudaData& reader)
{
  if (lines == kReaderLines && Admits(drop.cause)) TTudaReporter::Dropped(drop, reader);
}

bool AccountingReporter::Admits(TTudaCause cause)
{
  if (cappedBy == nullptr || !WritesLine(cause)) return true;
  uint64_t& written = linesWritten[static_cast<size_t>(cause)];
  if (written > kMostLinesPerCause) return false;
  if (written++ < kMostLinesPerCause) return true;
  Errors() << "tuda " << cappedBy << ": further lines like this suppressed; the account line counts them all"
           << std::endl;
  return false;
}

void AccountingReporter::BlockEnded(const TTudaBlockAccount& block)
{
  for (size_t cause = 0; cause < kTudaCauses; ++cause) {
    account.droppedWords[cause] += block.droppedWords[cause];
    if (block.droppedWords[cause] > 0) ++account.blocksWithDrops[cause];
  }
}

void AccountingReporter::TrailingPiece(uint64_t bytes)
{
  account.trailingBytes += bytes;
  ++account.trailingPieces;
}

std::string AccountText(const ReaderAccount& account)
{
  std::string losses;
  for (size_t cause = 0; cause < kTudaCauses; ++cause) {
    if (LossReason(cause) == nullptr || account.droppedWords[cause] == 0) continue;
    losses = Joined(losses, GroupedCount(account.droppedWords[cause], "word") + " in " +
                                GroupedCount(account.blocksWithDrops[cause], "block") + " not decoded (" +
                                LossReason(cause) + ")");
  }
  if (account.trailingBytes > 0) {
    losses = Joined(losses, GroupedCount(account.trailingBytes, "byte") + " in " +
                                GroupedCount(account.trailingPieces, "trailing piece") +
                                " shorter than a block not decoded");
  }
  return losses;
}

void WriteAccountLine(const std::string& name, const ReaderAccount& account, const std::string& more)
{
  const std::string losses = AccountText(account);
  if (losses.empty()) return;
  std::cerr << "tuda " << name << ": " << (more.empty() ? losses : Joined(losses, more)) << std::endl;
}

void AccountLine::Declare(CLI::App& app)
{
  app.add_flag("--quiet", quiet, "no closing line on what the reader lost")->disable_flag_override();
}

void AccountLine::DeclareAllMessages(CLI::App& app)
{
  app.add_flag("--all-messages", allMessages,
               "every line the reader writes on undecoded words, not only the first " +
                   std::to_string(AccountingReporter::kMostLinesPerCause) + " for each cause")
      ->disable_flag_override();
}

void AccountLine::Write() const
{
  Write(reporter.Account(), "tuda stat shows more");
}

void AccountLine::Write(const ReaderAccount& account, const std::string& more) const
{
  if (!quiet) WriteAccountLine(name, account, more);
}
