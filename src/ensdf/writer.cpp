#include "ensdf/writer.hpp"

#include <cmath>

#include "core/number_text.hpp"
#include "core/store.hpp"
#include "ensdf/number.hpp"
#include "input/layout.hpp"

namespace tcsum::ensdf {

namespace {

using layout::place;
using layout::Type;

// "1.5e-07" -> "1.5E-7".
std::string compactExponent(const std::string& text) {
  const std::size_t e = text.find('e');
  if (e == std::string::npos) return text;
  std::string mantissa = text.substr(0, e);
  std::string exponent = text.substr(e + 1);
  std::string sign;
  if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
    if (exponent[0] == '-') sign = "-";
    exponent.erase(0, 1);
  }
  while (exponent.size() > 1 && exponent[0] == '0')
    exponent.erase(0, 1);
  return mantissa + "E" + sign + exponent;
}

void endLine(std::string& line, std::string& out) {
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
  out += line;
  out += '\n';
}

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> out;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out.push_back(line);
  }
  return out;
}

// A real in its field, as formatField writes it.
void placeReal(std::string& record, const Field& field, float value) {
  place(record, field, Type::real, formatField(value));
}

// The first record of an efficiency block with the detector number and text set.
void setDetector(std::string& record, int detector, std::string_view detectorText) {
  using namespace layout;
  if (detector >= 0) {
    place(record, kDetectorDigit1, Type::integer, text::integer(detector / 10));
    place(record, kDetectorDigit2, Type::integer, text::integer(detector % 10));
  }
  if (!detectorText.empty()) place(record, kDetectorText, Type::text, detectorText);
}

}  // namespace

std::string formatField(float value) {
  if (value == 0.0f) return "0.0";
  std::string shortest = text::plainShortest(value);
  if (shortest.size() <= kFieldWidth) {
    if (shortest.find('.') == std::string::npos && shortest.size() + 2 <= kFieldWidth)
      shortest += ".0";
    return shortest;
  }
  const int magnitude =
      static_cast<int>(std::floor(std::log10(std::fabs(static_cast<double>(value)))));
  for (int digits = 9; digits >= 1; --digits) {
    const int decimals = digits - 1 - magnitude;
    if (decimals >= 0) {
      std::string fixed = text::fixed(value, decimals);
      if (fixed.size() <= kFieldWidth) return fixed;
    }
    std::string scientific = compactExponent(text::scientific(value, digits - 1));
    if (scientific.size() <= kFieldWidth) return scientific;
  }
  return compactExponent(text::scientific(value, 0));
}

void writeDataSet(const OutSet& set, std::string& out) {
  using namespace layout;
  std::string line;
  place(line, kName, Type::text, set.name);
  place(line, kDecayMode, Type::text, set.mode);
  placeReal(line, kXrayEnergy, set.ex);
  placeReal(line, kOmegaK, set.omegak);
  endLine(line, out);
  for (const OutLevel& level : set.levels) {
    line.clear();
    placeReal(line, kLevelEnergy, level.energy);
    placeReal(line, kFeeding, level.feed);
    if (set.capture) placeReal(line, kCaptureFraction, level.pk);
    endLine(line, out);
  }
  // The record ending the levels: energy 0.
  line.clear();
  placeReal(line, kLevelEnergy, 0.0f);
  endLine(line, out);
  for (const OutTransition& t : set.transitions) {
    line.clear();
    place(line, kUpperLevel, Type::integer, text::integer(t.upper));
    place(line, kLowerLevel, Type::integer, text::integer(t.lower));
    placeReal(line, kGammaEnergy, t.energy);
    placeReal(line, kIntensity, t.intensity);
    placeReal(line, kAlpha, t.alpha);
    placeReal(line, kAlphaK, t.alphak);
    endLine(line, out);
  }
  // The record ending the transitions.
  line.clear();
  place(line, kUpperLevel, Type::integer, text::integer(kEndOfTransitions));
  place(line, kLowerLevel, Type::integer, text::integer(1));
  endLine(line, out);
}

bool efficiencyFromCsv(std::string_view csv, int detector, std::string_view text,
                       std::string& block, std::string& error) {
  struct Point {
    float energy, total, peak;
  };
  std::vector<Point> points;
  int number = 0;
  for (std::string_view line : lines(csv)) {
    ++number;
    if (trim(line).empty()) continue;
    std::vector<std::string_view> cells;
    while (true) {
      const std::size_t comma = line.find(',');
      cells.push_back(trim(line.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      line.remove_prefix(comma + 1);
    }
    const auto energy = cells.size() == 3 ? parseNumber(cells[0]) : std::nullopt;
    const auto total = cells.size() == 3 ? parseNumber(cells[1]) : std::nullopt;
    const auto peak = cells.size() == 3 ? parseNumber(cells[2]) : std::nullopt;
    if (!energy || !total || !peak) {
      if (points.empty() && number == 1) continue;  // a heading
      error = "line " + std::to_string(number) + " is not \"energy_keV,total,peak\"";
      return false;
    }
    if (!points.empty() && static_cast<float>(energy->value) <= points.back().energy) {
      error = "line " + std::to_string(number) + ": energies must ascend";
      return false;
    }
    const Point p{static_cast<float>(energy->value), static_cast<float>(total->value * 1e3),
                  static_cast<float>(peak->value * 1e3)};
    if (!std::isfinite(p.energy) || !std::isfinite(p.total) || !std::isfinite(p.peak)) {
      error = "line " + std::to_string(number) + ": value beyond range";
      return false;
    }
    points.push_back(p);
  }
  if (points.empty()) {
    error = "no efficiency points";
    return false;
  }
  if (points.size() > static_cast<std::size_t>(kTablePoints)) {
    error = std::to_string(points.size()) + " efficiency points, at most " +
            std::to_string(kTablePoints);
    return false;
  }
  points.push_back(points.back());  // closes the block
  for (std::size_t i = 0; i < points.size(); ++i) {
    using namespace layout;
    std::string line;
    placeReal(line, kEffEnergy, points[i].energy);
    placeReal(line, kEffTotal, points[i].total);
    placeReal(line, kEffPeak, points[i].peak);
    if (i == 0) {
      setDetector(line, detector, text);
    } else {
      place(line, kContinuation, Type::integer, i + 1 == points.size() ? "0" : "1");
    }
    endLine(line, block);
  }
  return true;
}

bool efficiencyFromDataFile(std::string_view data, int detector, std::string_view text,
                            std::string& block, std::string& error) {
  int count = 0;
  for (std::string_view line : lines(data)) {
    std::string record(line);
    ++count;
    if (count > kEffPoints) {
      error = "the efficiency block has more than " + std::to_string(kEffPoints) + " records";
      return false;
    }
    if (count == 1) {
      setDetector(record, detector, text);
      endLine(record, block);
      continue;
    }
    endLine(record, block);
    const auto column = static_cast<std::size_t>(layout::kContinuation.first);
    const char digit = line.size() >= column ? line[column - 1] : ' ';
    if (digit == '0' || digit == ' ') return true;
  }
  error = "the file ends inside the efficiency block";
  return false;
}

}  // namespace tcsum::ensdf
