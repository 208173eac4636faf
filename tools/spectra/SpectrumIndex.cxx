#include "tools/spectra/SpectrumIndex.h"

#include <cstdio>
#include <sstream>

namespace {

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1em 2em}figure{display:inline-block;margin:0 1em 1em 0}"
    "img{max-width:100%;border:1px solid #ccc}td{padding:0 1em 0 0}";

// Text as HTML shows it, file names included.
std::string Escaped(const std::string& text)
{
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

void Row(std::ostream& page, const std::string& name, const std::string& value)
{
  page << "<tr><td>" << Escaped(name) << "</td><td>" << Escaped(value) << "</td></tr>\n";
}

void Figures(std::ostream& page, const RunFigures& figures)
{
  page << "<table>\n";
  for (const std::string& file : figures.files) Row(page, "File", file);
  Row(page, "Events", std::to_string(figures.events));
  for (const auto& [kind, items] : figures.itemsPerKind) Row(page, kind + " items", std::to_string(items));
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", figures.seconds);
  Row(page, "Seconds", seconds);
  page << "</table>\n";
}

}  // namespace

std::string SpectrumIndexPage(const RunFigures& figures, const std::vector<IndexEntry>& pictures,
                              const std::vector<IndexEntry>& tables)
{
  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Spectra</title><style>" << kStyle
       << "</style></head>\n<body>\n<h1>Spectra</h1>\n";
  Figures(page, figures);
  for (const IndexEntry& picture : pictures) {
    page << "<figure><img src=\"" << Escaped(picture.file) << "\" alt=\"" << Escaped(picture.caption)
         << "\"><figcaption>" << Escaped(picture.caption) << "</figcaption></figure>\n";
  }
  page << "<p>Bins:";
  for (const IndexEntry& table : tables) {
    page << " <a href=\"" << Escaped(table.file) << "\">" << Escaped(table.caption) << "</a>";
  }
  page << "</p>\n</body></html>\n";
  return page.str();
}
