#pragma once
// Drawing charts as inline SVG: axes that map values to pixels (linear or
// logarithmic) and choose their ticks, and a writer of SVG elements that
// escapes every text and attribute value it is given.
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tcsum::plot {

// Text for XML content and attribute values: & < > " ' as references,
// bytes that are not UTF-8 and control characters XML forbids as U+FFFD.
std::string escapeXml(std::string_view text);
// The same, appended to OUT.
void appendEscapedXml(std::string& out, std::string_view text);

// A coordinate in pixels, to one decimal ("12.3", "-0.5"); "0.0" for one
// that rounds to zero and for one that is not finite.
std::string pixels(double value);
// The same, appended to OUT.
void appendPixels(std::string& out, double value);

struct Tick {
  double value;
  bool major;         // labelled
  std::string label;  // empty for minor ticks
};

// Maps [lo, hi] onto the pixel interval [from, to] (to < from for an axis
// that grows upwards). A logarithmic axis needs 0 < lo < hi.
class Axis {
 public:
  static Axis linear(double lo, double hi, double from, double to);
  static Axis logarithmic(double lo, double hi, double from, double to);

  double operator()(double value) const;
  bool contains(double value) const { return value >= lo_ && value <= hi_; }
  double lo() const { return lo_; }
  double hi() const { return hi_; }
  // Linear: steps of 1, 2 or 5 times a power of ten, 4 to 10 of them.
  // Logarithmic: every decade labelled, 2 ... 9 times it as minor ticks.
  std::vector<Tick> ticks() const;

 private:
  Axis(bool log, double lo, double hi, double from, double to);
  bool log_;
  double lo_, hi_, from_, to_;
  double logLo_, logSpan_;  // log10 lo and log10 hi - log10 lo, for a logarithmic axis
};

// The powers of ten just around [lo, hi] (0 < lo <= hi): 10^floor(log lo),
// 10^ceil(log hi), at least one decade apart.
std::pair<double, double> decadesAround(double lo, double hi);

// Name and value of each attribute, as a list in the call: nothing to allocate.
using Attributes = std::initializer_list<std::pair<std::string_view, std::string_view>>;

// Writes SVG elements onto OUT. Attribute values and texts are escaped.
class Svg {
 public:
  explicit Svg(std::string& out) : out_(out) {}

  // <svg> with a viewBox of WIDTH x HEIGHT and a title for screen readers.
  void begin(double width, double height, std::string_view title, const Attributes& extra = {});
  void end() { out_ += "</svg>\n"; }

  void open(std::string_view tag, const Attributes& attributes = {});
  void close(std::string_view tag);
  void element(std::string_view tag, const Attributes& attributes);  // empty element

  void line(double x1, double y1, double x2, double y2, std::string_view cls);
  void rect(double x, double y, double width, double height, std::string_view cls);
  void circle(double cx, double cy, double r, std::string_view cls);
  // A polyline through POINTS (x, y in pixels); nothing for fewer than two.
  void polyline(const std::vector<std::pair<double, double>>& points, std::string_view cls);
  // A path of the SVG path syntax D.
  void path(std::string_view d, std::string_view cls);
  // A closed shape through POINTS.
  void polygon(const std::vector<std::pair<double, double>>& points, std::string_view cls);

  enum class Anchor { start, middle, end };
  // TEXT at (x, y), turned by ROTATE degrees about that point.
  void text(double x, double y, std::string_view text, std::string_view cls,
            Anchor anchor = Anchor::start, double rotate = 0.0);

 private:
  void attributes(const Attributes& attributes);
  void attribute(std::string_view name, std::string_view value);  // escaped
  void coordinate(std::string_view name, double value);           // in pixels
  void shape(std::string_view tag, const std::vector<std::pair<double, double>>& points,
             std::string_view cls);
  std::string& out_;
};

}  // namespace tcsum::plot
