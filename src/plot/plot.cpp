#include "plot/plot.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "core/number_text.hpp"

namespace tcsum::plot {

namespace {

// Length of the UTF-8 sequence starting at TEXT[i], or 0 when it is not one.
std::size_t utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  uint32_t code = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  const bool notCharacter = code == 0xFFFE || code == 0xFFFF || code > 0x10FFFF;
  return (overlong || surrogate || notCharacter) ? 0 : length;
}

std::string superscript(int exponent) {
  static constexpr std::string_view digits[] = {"⁰", "¹", "²", "³", "⁴", "⁵", "⁶", "⁷", "⁸", "⁹"};
  std::string out = exponent < 0 ? "⁻" : "";
  const std::string plain = std::to_string(std::abs(exponent));
  for (char c : plain)
    out += digits[c - '0'];
  return out;
}

std::string decimal(double value) {
  return text::shortest(value);
}

}  // namespace

std::string escapeXml(std::string_view text) {
  std::string out;
  appendEscapedXml(out, text);
  return out;
}

namespace {

// Bytes XML takes as they are: printable ASCII but for the five markup characters.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x7f; ++c)
    plain[static_cast<std::size_t>(c)] = true;
  for (char c : {'&', '<', '>', '"', '\''})
    plain[static_cast<unsigned char>(c)] = false;
  return plain;
}();

bool plain(char c) {
  return kPlain[static_cast<unsigned char>(c)];
}

}  // namespace

void appendEscapedXml(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    // A run of plain bytes is copied whole.
    const std::size_t start = i;
    while (i < text.size() && plain(text[i]))
      ++i;
    out.append(text.data() + start, i - start);
    if (i == text.size()) break;
    const char c = text[i];
    const std::size_t length = utf8Length(text, i);
    if (length == 0 ||
        (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
        c == '\x7f') {
      out += "\uFFFD";
      i += (length == 0) ? 1 : length;
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.append(text.substr(i, length));
    }
    i += length;
  }
}

void appendPixels(std::string& out, double value) {
  if (!std::isfinite(value)) value = 0.0;
  const double tenths = std::round(value * 10.0);
  // The value printed is the double nearest tenths / 10, to one decimal.
  // Below 2^52 tenths is an integer n and that double lies within half an
  // ulp, at most 2^-5, of n / 10, so its nearest one-decimal numeral is n / 10
  // itself: the digits of n with a point before the last.
  if (std::abs(tenths) < 0x1p52) {
    const auto n = static_cast<int64_t>(tenths);
    const uint64_t magnitude = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    if (n < 0) out += '-';  // tenths of -0.0 print as "0.0"
    text::appendInteger(out, magnitude / 10);
    out += '.';
    out += static_cast<char>('0' + magnitude % 10);
    return;
  }
  text::appendFixed(out, tenths / 10.0, 1);
}

std::string pixels(double value) {
  std::string out;
  appendPixels(out, value);
  return out;
}

Axis::Axis(bool log, double lo, double hi, double from, double to)
    : log_(log),
      lo_(lo),
      hi_(hi),
      from_(from),
      to_(to),
      logLo_(log ? std::log10(lo) : 0.0),
      logSpan_(log ? std::log10(hi) - logLo_ : 0.0) {}

Axis Axis::linear(double lo, double hi, double from, double to) {
  if (!(hi > lo)) hi = lo + 1.0;
  return Axis(false, lo, hi, from, to);
}

Axis Axis::logarithmic(double lo, double hi, double from, double to) {
  if (!(lo > 0.0)) lo = 1.0;
  if (!(hi > lo)) hi = lo * 10.0;
  return Axis(true, lo, hi, from, to);
}

double Axis::operator()(double value) const {
  const double t = log_ ? (std::log10(value) - logLo_) / logSpan_ : (value - lo_) / (hi_ - lo_);
  return from_ + t * (to_ - from_);
}

std::vector<Tick> Axis::ticks() const {
  std::vector<Tick> ticks;
  if (log_) {
    const int first = static_cast<int>(std::floor(std::log10(lo_) + 1e-9));
    const int last = static_cast<int>(std::ceil(std::log10(hi_) - 1e-9));
    for (int e = first; e <= last; ++e) {
      const double decade = std::pow(10.0, e);
      for (int m = 1; m <= 9; ++m) {
        const double v = m * decade;
        if (v < lo_ * (1 - 1e-9) || v > hi_ * (1 + 1e-9)) continue;
        std::string label;
        if (m == 1) label = (e >= -3 && e <= 4) ? decimal(v) : "10" + superscript(e);
        ticks.push_back({v, m == 1, std::move(label)});
      }
    }
    return ticks;
  }
  const double span = hi_ - lo_;
  const double base = std::pow(10.0, std::floor(std::log10(span)));
  double step = base;
  for (double factor : {1.0, 0.5, 0.2}) {
    step = base * factor;
    if (span / step >= 4.0) break;
  }
  for (double v = std::ceil(lo_ / step - 1e-9) * step; v <= hi_ + 1e-9 * span; v += step) {
    const double clean = std::abs(v) < 1e-9 * span ? 0.0 : v;
    ticks.push_back({clean, true, decimal(clean)});
  }
  return ticks;
}

std::pair<double, double> decadesAround(double lo, double hi) {
  const double a = std::floor(std::log10(lo) + 1e-9);
  double b = std::ceil(std::log10(hi) - 1e-9);
  if (b <= a) b = a + 1;
  return {std::pow(10.0, a), std::pow(10.0, b)};
}

void Svg::attribute(std::string_view name, std::string_view value) {
  out_ += ' ';
  out_ += name;
  out_ += "=\"";
  appendEscapedXml(out_, value);
  out_ += '"';
}

// A number in pixels has nothing to escape.
void Svg::coordinate(std::string_view name, double value) {
  out_ += ' ';
  out_ += name;
  out_ += "=\"";
  appendPixels(out_, value);
  out_ += '"';
}

void Svg::attributes(const Attributes& attributes) {
  for (const auto& [name, value] : attributes)
    attribute(name, value);
}

void Svg::begin(double width, double height, std::string_view title, const Attributes& extra) {
  out_ += "<svg viewBox=\"0 0 ";
  appendPixels(out_, width);
  out_ += ' ';
  appendPixels(out_, height);
  out_ += '"';
  coordinate("width", width);
  coordinate("height", height);
  out_ += " role=\"img\"";
  attributes(extra);
  out_ += "><title>";
  appendEscapedXml(out_, title);
  out_ += "</title>";
}

void Svg::open(std::string_view tag, const Attributes& a) {
  out_ += '<';
  out_ += tag;
  attributes(a);
  out_ += '>';
}

void Svg::close(std::string_view tag) {
  out_ += "</";
  out_ += tag;
  out_ += '>';
}

void Svg::element(std::string_view tag, const Attributes& a) {
  out_ += '<';
  out_ += tag;
  attributes(a);
  out_ += "/>";
}

void Svg::line(double x1, double y1, double x2, double y2, std::string_view cls) {
  out_ += "<line";
  coordinate("x1", x1);
  coordinate("y1", y1);
  coordinate("x2", x2);
  coordinate("y2", y2);
  attribute("class", cls);
  out_ += "/>";
}

void Svg::rect(double x, double y, double width, double height, std::string_view cls) {
  out_ += "<rect";
  coordinate("x", x);
  coordinate("y", y);
  coordinate("width", width);
  coordinate("height", height);
  attribute("class", cls);
  out_ += "/>";
}

void Svg::circle(double cx, double cy, double r, std::string_view cls) {
  out_ += "<circle";
  coordinate("cx", cx);
  coordinate("cy", cy);
  coordinate("r", r);
  attribute("class", cls);
  out_ += "/>";
}

void Svg::polyline(const std::vector<std::pair<double, double>>& points, std::string_view cls) {
  if (points.size() >= 2) shape("polyline", points, cls);
}

void Svg::path(std::string_view d, std::string_view cls) {
  if (d.empty()) return;
  out_ += "<path";
  attribute("d", d);
  attribute("class", cls);
  out_ += "/>";
}

void Svg::polygon(const std::vector<std::pair<double, double>>& points, std::string_view cls) {
  if (points.size() >= 3) shape("polygon", points, cls);
}

void Svg::shape(std::string_view tag, const std::vector<std::pair<double, double>>& points,
                std::string_view cls) {
  out_ += '<';
  out_ += tag;
  out_ += " points=\"";
  for (std::size_t k = 0; k < points.size(); ++k) {
    if (k > 0) out_ += ' ';
    appendPixels(out_, points[k].first);
    out_ += ',';
    appendPixels(out_, points[k].second);
  }
  out_ += '"';
  attribute("class", cls);
  out_ += "/>";
}

void Svg::text(double x, double y, std::string_view text, std::string_view cls, Anchor anchor,
               double rotate) {
  static constexpr const char* anchors[] = {"start", "middle", "end"};
  out_ += "<text";
  coordinate("x", x);
  coordinate("y", y);
  attribute("class", cls);
  attribute("text-anchor", anchors[static_cast<int>(anchor)]);
  if (rotate != 0.0) {
    out_ += " transform=\"rotate(";
    appendPixels(out_, rotate);
    out_ += ' ';
    appendPixels(out_, x);
    out_ += ' ';
    appendPixels(out_, y);
    out_ += ")\"";
  }
  out_ += '>';
  appendEscapedXml(out_, text);
  out_ += "</text>";
}

}  // namespace tcsum::plot
