#include "tools/Text.h"

#include <iomanip>
#include <sstream>

std::string Counted(uint64_t count, const std::string& noun)
{
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
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
