#include "tools/console/Progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <iostream>

#include "reader/TTudaData.h"
#include "tools/console/Text.h"

namespace {

constexpr double kSecondsBetweenDraws = 0.25;
constexpr const char* kClearLine = "\r\033[K";

double Seconds(std::chrono::steady_clock::duration duration)
{
  return std::chrono::duration<double>(duration).count();
}

bool SameFile(int first, int second)
{
  struct stat a {};
  struct stat b {};
  return fstat(first, &a) == 0 && fstat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino &&
         a.st_rdev == b.st_rdev;
}

std::string Megabytes(uint64_t bytes) { return Fixed(static_cast<double>(bytes) / kBytesPerMegabyte, 1) + " MB"; }

bool OutputIsTheTerminal() { return isatty(STDOUT_FILENO) != 0 && SameFile(STDOUT_FILENO, STDERR_FILENO); }

// Passes everything to `target`, clearing the progress line first. Unbuffered: it stands before
// the few lines a command writes to the terminal while its line is shown.
class ClearingBuffer : public std::streambuf {
 public:
  ClearingBuffer(std::streambuf* target, ProgressLine& line) : target(target), line(line) {}

 protected:
  int_type overflow(int_type c) override
  {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    line.Clear();
    return target->sputc(traits_type::to_char_type(c));
  }
  std::streamsize xsputn(const char* data, std::streamsize size) override
  {
    line.Clear();
    return target->sputn(data, size);
  }
  int sync() override { return target->pubsync(); }

 private:
  std::streambuf* const target;
  ProgressLine& line;
};

}  // namespace

bool ProgressWanted(bool writesStandardOutput)
{
  if (isatty(STDERR_FILENO) == 0) return false;
  return !writesStandardOutput || !OutputIsTheTerminal();
}

ProgressLine::ProgressLine(const std::string& name, ProgressUnit unit, ProgressSource source,
                           bool writesStandardOutput, unsigned ticksPerLook)
    : name(name),
      unit(unit),
      source(std::move(source)),
      shown(ProgressWanted(writesStandardOutput)),
      ticksPerLook(ticksPerLook),
      start(Clock::now()),
      lastDrawn(start)
{
  if (!shown) return;
  clearingError = std::make_unique<ClearingBuffer>(std::cerr.rdbuf(), *this);
  plainError = std::cerr.rdbuf(clearingError.get());
  if (!OutputIsTheTerminal()) return;
  clearingOutput = std::make_unique<ClearingBuffer>(std::cout.rdbuf(), *this);
  plainOutput = std::cout.rdbuf(clearingOutput.get());
}

ProgressLine::~ProgressLine()
{
  Clear();
  if (plainOutput != nullptr) std::cout.rdbuf(plainOutput);
  if (plainError != nullptr) std::cerr.rdbuf(plainError);
}

void ProgressLine::Clear()
{
  if (drawn) Show(kClearLine);
  drawn = false;
}

void ProgressLine::Show(const std::string& text)
{
  plainError->sputn(text.data(), static_cast<std::streamsize>(text.size()));
  plainError->pubsync();
}

void ProgressLine::Look()
{
  ticks = 0;
  const Clock::time_point now = Clock::now();
  if (Seconds(now - lastDrawn) < kSecondsBetweenDraws) return;
  lastDrawn = now;
  drawn = true;
  Show(kClearLine + Text(source(), Seconds(now - start)));
}

std::string ProgressLine::Text(const ProgressAmount& amount, double seconds) const
{
  const double rate = seconds > 0.0 ? static_cast<double>(amount.done) / seconds : 0.0;
  std::string text = "tuda " + name + ": ";
  if (unit == ProgressUnit::kEvents) {
    return text + std::to_string(amount.done) + " events, " + Fixed(rate, 0) + " events/s, " + Fixed(seconds, 0) +
           " s elapsed";
  }
  const std::string speed = Fixed(rate / kBytesPerMegabyte, 1) + " MB/s";
  if (amount.total == 0) return text + Megabytes(amount.done) + " read, " + speed;
  const double share = static_cast<double>(amount.done) / static_cast<double>(amount.total);
  const double left = rate > 0.0 && amount.total > amount.done ? (amount.total - amount.done) / rate : 0.0;
  return text + Fixed(100.0 * share, 0) + "% of " + Megabytes(amount.total) + ", " + speed + ", " + Fixed(left, 0) +
         " s left";
}
