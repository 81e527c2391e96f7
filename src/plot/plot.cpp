#include "plot/plot.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

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
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return {buffer, result.ptr};
}

}  // namespace

std::string escapeXml(std::string_view text) {
  std::string out;
  appendEscapedXml(out, text);
  return out;
}

void appendEscapedXml(std::string& out, std::string_view text) {
  // Most text needs nothing: copy it whole.
  const auto plain = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7f && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
  };
  if (std::all_of(text.begin(), text.end(), plain)) {
    out += text;
    return;
  }
  for (std::size_t i = 0; i < text.size();) {
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

std::string pixels(double value) {
  if (!std::isfinite(value)) value = 0.0;
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::round(value * 10.0) / 10.0,
                                    std::chars_format::fixed, 1);
  std::string out(buffer, result.ptr);
  if (out == "-0.0") out = "0.0";
  return out;
}

Axis::Axis(bool log, double lo, double hi, double from, double to)
    : log_(log), lo_(lo), hi_(hi), from_(from), to_(to) {}

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
  const double t = log_
                       ? (std::log10(value) - std::log10(lo_)) / (std::log10(hi_) - std::log10(lo_))
                       : (value - lo_) / (hi_ - lo_);
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

void Svg::attributes(const Attributes& attributes) {
  for (const auto& [name, value] : attributes) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    appendEscapedXml(out_, value);
    out_ += '"';
  }
}

void Svg::begin(double width, double height, std::string_view title, const Attributes& extra) {
  out_ += "<svg";
  attributes({{"viewBox", "0 0 " + pixels(width) + ' ' + pixels(height)},
              {"width", pixels(width)},
              {"height", pixels(height)},
              {"role", "img"}});
  attributes(extra);
  out_ += "><title>";
  out_ += escapeXml(title);
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
  element("line", {{"x1", pixels(x1)},
                   {"y1", pixels(y1)},
                   {"x2", pixels(x2)},
                   {"y2", pixels(y2)},
                   {"class", std::string(cls)}});
}

void Svg::rect(double x, double y, double width, double height, std::string_view cls) {
  element("rect", {{"x", pixels(x)},
                   {"y", pixels(y)},
                   {"width", pixels(width)},
                   {"height", pixels(height)},
                   {"class", std::string(cls)}});
}

void Svg::circle(double cx, double cy, double r, std::string_view cls) {
  element("circle",
          {{"cx", pixels(cx)}, {"cy", pixels(cy)}, {"r", pixels(r)}, {"class", std::string(cls)}});
}

void Svg::polyline(const std::vector<std::pair<double, double>>& points, std::string_view cls) {
  if (points.size() >= 2) shape("polyline", points, cls);
}

void Svg::path(std::string_view d, std::string_view cls) {
  if (!d.empty()) element("path", {{"d", std::string(d)}, {"class", std::string(cls)}});
}

void Svg::polygon(const std::vector<std::pair<double, double>>& points, std::string_view cls) {
  if (points.size() >= 3) shape("polygon", points, cls);
}

void Svg::shape(std::string_view tag, const std::vector<std::pair<double, double>>& points,
                std::string_view cls) {
  std::string list;
  list.reserve(points.size() * 12);
  for (const auto& [x, y] : points) {
    if (!list.empty()) list += ' ';
    list += pixels(x);
    list += ',';
    list += pixels(y);
  }
  element(tag, {{"points", std::move(list)}, {"class", std::string(cls)}});
}

void Svg::text(double x, double y, std::string_view text, std::string_view cls, Anchor anchor,
               double rotate) {
  static constexpr const char* anchors[] = {"start", "middle", "end"};
  Attributes a{{"x", pixels(x)},
               {"y", pixels(y)},
               {"class", std::string(cls)},
               {"text-anchor", anchors[static_cast<int>(anchor)]}};
  if (rotate != 0.0)
    a.push_back(
        {"transform", "rotate(" + pixels(rotate) + ' ' + pixels(x) + ' ' + pixels(y) + ')'});
  open("text", a);
  appendEscapedXml(out_, text);
  close("text");
}

}  // namespace tcsum::plot
