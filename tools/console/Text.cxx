#include "tools/console/Text.h"

#include <iomanip>
#include <sstream>

namespace {

std::string Plural(uint64_t count, const std::string& noun)
{
  return count == 1 ? noun : noun + "s";
}

}  // namespace

std::string Counted(uint64_t count, const std::string& noun)
{
  return std::to_string(count) + " " + Plural(count, noun);
}

std::string Grouped(uint64_t number)
{
  std::string digits = std::to_string(number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string GroupedCount(uint64_t count, const std::string& noun)
{
  return Grouped(count) + " " + Plural(count, noun);
}

std::string Padded(const std::string& text, size_t width)
{
  return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

std::string Fixed(double value, int decimals)
{
  std::ostringstream text;
  text << std::fixed << std::setprecision(decimals) << value;
  return text.str();
}
