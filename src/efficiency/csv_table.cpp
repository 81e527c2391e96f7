#include "efficiency/csv_table.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

#include "core/fatal.hpp"
#include "core/number_text.hpp"
#include "efficiency/text_file.hpp"

namespace tcsum::efficiency {

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

std::vector<std::string_view> cells(std::string_view line) {
  std::vector<std::string_view> out;
  for (;;) {
    const std::size_t comma = line.find(',');
    out.push_back(trimmed(line.substr(0, comma)));
    if (comma == std::string_view::npos) return out;
    line.remove_prefix(comma + 1);
  }
}

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<double> number(std::string_view cell) {
  if (!cell.empty() && cell.front() == '+') cell.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  if (cell.empty() || error != std::errc() || end != cell.data() + cell.size() ||
      !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::string shown(std::string_view cell) {
  std::string out = escapedControls(cell.substr(0, 40));
  if (cell.size() > 40) out += "...";
  return out;
}

// The separator a line without commas uses instead, if any.
const char* otherSeparator(std::string_view line) {
  if (line.find(';') != std::string_view::npos) return "semicolons";
  if (line.find('\t') != std::string_view::npos) return "tabs";
  if (trimmed(line).find(' ') != std::string_view::npos) return "spaces";
  return nullptr;
}

std::string numberText(double value) {
  return text::shortest(value);
}

}  // namespace

std::vector<TablePoint> parseEfficiencyCsv(std::string_view text, const std::string& name,
                                           const CsvRules& rules) {
  auto refuse = [&name](int line, const std::string& reason) {
    throw InputFileError(name + ":" + std::to_string(line) + ": " + reason);
  };
  int energyColumn = -1, totalColumn = -1, peakColumn = -1;
  std::size_t width = 0;
  int headingLine = 0;
  std::vector<TablePoint> points;

  int lineNumber = 0;
  while (!text.empty() || lineNumber == 0) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);  // BOM
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == '#') {
      if (text.empty()) break;
      continue;
    }
    if (line.find(',') == std::string_view::npos) {
      const char* other = otherSeparator(content);
      refuse(lineNumber, other ? std::string("not comma separated: the cells are separated by ") +
                                     other + "; write energy_keV,total,peak"
                               : "one cell only \"" + shown(content) +
                                     "\": a row has the comma-separated cells energy_keV,total,peak");
    }
    const std::vector<std::string_view> row = cells(line);
    if (headingLine == 0) {
      headingLine = lineNumber;
      for (std::size_t k = 0; k < row.size(); ++k) {
        const std::string heading = lowered(row[k]);
        int* column = heading == "energy_kev" ? &energyColumn
                      : heading == "total"    ? &totalColumn
                      : heading == "peak"     ? &peakColumn
                                              : nullptr;
        if (!column) continue;
        if (*column >= 0) refuse(lineNumber, "column \"" + heading + "\" named twice");
        *column = static_cast<int>(k);
      }
      if (energyColumn < 0 && totalColumn < 0 && peakColumn < 0 && number(row[0]))
        refuse(lineNumber, "no heading: the first line must name the columns, "
                           "energy_keV,total,peak");
      std::string missing;
      for (auto [column, heading] : {std::pair{energyColumn, "energy_keV"},
                                     std::pair{totalColumn, "total"}, std::pair{peakColumn, "peak"}})
        if (column < 0) missing += std::string(missing.empty() ? "" : ", ") + heading;
      if (!missing.empty())
        refuse(lineNumber, "the heading has no column " + missing +
                               " (it needs energy_keV, total and peak, in any order)");
      width = row.size();
      continue;
    }
    if (row.size() != width)
      refuse(lineNumber, std::to_string(row.size()) + " cells where the heading has " +
                             std::to_string(width));
    TablePoint p;
    p.line = lineNumber;
    for (auto [column, heading, value] :
         {std::tuple{energyColumn, "energy_keV", &p.energy}, std::tuple{totalColumn, "total", &p.total},
          std::tuple{peakColumn, "peak", &p.peak}}) {
      const std::optional<double> read = number(row[static_cast<std::size_t>(column)]);
      if (!read)
        refuse(lineNumber, std::string(heading) + " \"" + shown(row[static_cast<std::size_t>(column)]) +
                               "\" is not a number");
      if (*read <= 0.0) refuse(lineNumber, std::string(heading) + " " + numberText(*read) +
                                               " is not positive");
      *value = *read;
    }
    for (auto [heading, value] : {std::pair{"total", p.total}, std::pair{"peak", p.peak}})
      if (value > 1.0)
        refuse(lineNumber, std::string(heading) + " efficiency " + numberText(value) +
                               " is above 1: it looks like percent; give fractions (" +
                               numberText(value / 100.0) + " for " + numberText(value) + " %)");
    if (p.peak > p.total)
      refuse(lineNumber, "peak efficiency " + numberText(p.peak) + " above the total " +
                             numberText(p.total));
    if (!points.empty() && p.energy <= points.back().energy)
      refuse(lineNumber, "energy " + numberText(p.energy) + " keV not above the previous " +
                             numberText(points.back().energy) + " keV: energies must ascend");
    if (points.size() == rules.maxPoints)
      refuse(lineNumber, "more than " + std::to_string(rules.maxPoints) + " points");
    points.push_back(p);
    if (text.empty()) break;
  }

  if (headingLine == 0) refuse(lineNumber, "no table: empty or only comments");
  if (points.size() < rules.minPoints)
    refuse(lineNumber, std::to_string(points.size()) + (points.size() == 1 ? " point" : " points") +
                           "; the interpolation needs at least " + std::to_string(rules.minPoints));
  if (std::all_of(points.begin(), points.end(), [](const TablePoint& p) { return p.energy < 10.0; }))
    refuse(points.front().line, "every energy is below 10 keV (the highest " +
                                    numberText(points.back().energy) +
                                    "): they look like MeV; give energies in keV");
  return points;
}

std::vector<TablePoint> readEfficiencyCsv(const std::string& path, const CsvRules& rules) {
  return parseEfficiencyCsv(readTextFile(path), path, rules);
}

}  // namespace tcsum::efficiency
