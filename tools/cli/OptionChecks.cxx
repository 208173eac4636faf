#include "tools/cli/OptionChecks.h"

#include "tools/input/FileJobs.h"

#include <iomanip>
#include <sstream>
#include <charconv>
#include <cstdlib>

#include <CLI/CLI.hpp>

namespace {

constexpr int kDecimalDigits = 10;  // enough to show a limit such as 4294.967295 in full

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits from `at`; returns where they end.
size_t SkipDigits(const std::string& text, size_t at)
{
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at;
}

// digits [. digits] | . digits, then an optional exponent e[+-]digits.
bool IsDecimal(const std::string& text)
{
  size_t at = SkipDigits(text, 0);
  bool digits = at > 0;
  if (at < text.size() && text[at] == '.') {
    const size_t fraction = at + 1;
    at = SkipDigits(text, fraction);
    digits = digits || at > fraction;
  }
  if (!digits) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    const size_t exponent = at;
    at = SkipDigits(text, exponent);
    if (at == exponent) return false;
  }
  return at == text.size();
}

bool ReadCount(const std::string& text, uint64_t& value)
{
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value, 10);
  return !text.empty() && IsDigit(text[0]) && result.ec == std::errc() && result.ptr == end;
}

// The program sets no locale, so strtod reads a point. An exponent too small to hold reads as
// 0, one too large as infinity, which the range refuses.
double ReadDecimal(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

CLI::Option* AddCount(CLI::App& app, const std::string& name, uint64_t& value, uint64_t least, uint64_t most,
                      const std::string& help)
{
  const std::string range = std::to_string(least) + " to " + std::to_string(most);
  const CLI::Validator check(
      [least, most, range](std::string& text) {
        uint64_t number = 0;
        if (ReadCount(text, number) && number >= least && number <= most) return std::string();
        return "needs a whole decimal number from " + range + ", not " + Quoted(text);
      },
      "");
  return app
      .add_option(
          name, [&value](const CLI::results_t& texts) { return ReadCount(texts[0], value); }, help)
      ->check(check)
      ->type_name("N");
}

CLI::Option* AddDecimal(CLI::App& app, const std::string& name, double& value, double most,
                        const std::string& help)
{
  std::ostringstream limit;
  limit << std::setprecision(kDecimalDigits) << most;
  const CLI::Validator check(
      [most, range = limit.str()](std::string& text) {
        if (IsDecimal(text) && ReadDecimal(text) <= most) return std::string();
        return "needs a decimal number from 0 to " + range + ", not " + Quoted(text);
      },
      "");
  return app
      .add_option(
          name,
          [&value](const CLI::results_t& texts) {
            value = ReadDecimal(texts[0]);
            return true;
          },
          help)
      ->check(check)
      ->type_name("X");
}

CLI::Validator NotEmpty()
{
  return CLI::Validator(
      [](std::string& text) { return text.empty() ? std::string("needs a name, not ''") : std::string(); }, "");
}

CLI::Option* AddJobsOption(CLI::App& app, uint64_t& jobs)
{
  return AddCount(app, "--jobs", jobs, 1, kMostJobs, "read N files at a time (default: the number of cores)");
}
