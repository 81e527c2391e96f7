// Chart drawing: escaping of text from the data file, the value-to-pixel
// maps of both axis kinds and their ticks, and SVG elements that carry
// hostile text only as text.
#include "plot/plot.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>

namespace tcsum::plot {
namespace {

TEST(Plot, EscapesMarkupBadBytesAndControlCharacters) {
  EXPECT_EQ(escapeXml("<script>alert(\"x\")</script> & 'y'"),
            "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &#39;y&#39;");
  EXPECT_EQ(escapeXml("Detektor f\xc3\xbcr \xe2\x82\xa7"), "Detektor f\xc3\xbcr \xe2\x82\xa7");
  // A lone high byte, a cut-off sequence, an overlong '<', a surrogate, NUL and ESC.
  EXPECT_EQ(escapeXml("a\x94z"), "a\uFFFDz");
  EXPECT_EQ(escapeXml("a\xe2\x82"), "a\uFFFD\uFFFD");
  EXPECT_EQ(escapeXml("\xc0\xbc"), "\uFFFD\uFFFD");
  EXPECT_EQ(escapeXml("\xed\xa0\x80"), "\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(escapeXml(std::string_view("x\0y\x1b", 4)), "x\uFFFDy\uFFFD");
  EXPECT_EQ(escapeXml("tab\tkept\n"), "tab\tkept\n");
}

// Pixels as the plain conversion prints them: the value rounded to tenths,
// printed with one decimal, negative zero without its sign.
std::string plainPixels(double value) {
  if (!std::isfinite(value)) value = 0.0;
  char buffer[400];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, std::round(value * 10.0) / 10.0,
                               std::chars_format::fixed, 1);
  const std::string out(buffer, r.ptr);
  return out == "-0.0" ? "0.0" : out;
}

TEST(Plot, PixelsAsThePlainConversion) {
  const double big = 0x1p52 / 10;  // where the quick digits stop
  const double edges[] = {0.0,
                          -0.0,
                          0.04,
                          -0.04,
                          -0.05,
                          0.05,
                          0.15,
                          -0.25,
                          0.35,
                          1e-310,
                          -1e-310,
                          999.95,
                          -999.95,
                          12345.65,
                          big,
                          -big,
                          std::nextafter(big, 0.0),
                          std::nextafter(big, 1e300),
                          1e15,
                          -1e20,
                          1e300,
                          -1.7e308,
                          std::numeric_limits<double>::quiet_NaN(),
                          -INFINITY};
  for (double v : edges)
    EXPECT_EQ(pixels(v), plainPixels(v)) << v;
  EXPECT_EQ(pixels(-0.04), "0.0");
  EXPECT_EQ(pixels(-0.05), "-0.1");
  EXPECT_EQ(pixels(INFINITY), "0.0");
  std::mt19937_64 random(20240611);
  for (int k = 0; k < 200000; ++k) {
    // Every magnitude from the tiny to past the quick digits, and some
    // values on a half tenth, where rounding goes away from zero.
    const double scale = std::pow(10.0, static_cast<int>(random() % 40) - 20);
    double v = (static_cast<double>(random() >> 11) * 0x1p-53 - 0.5) * scale;
    if (k % 4 == 0)
      v = (static_cast<double>(static_cast<int64_t>(random() % 2000001) - 1000000) + 0.5) / 10;
    ASSERT_EQ(pixels(v), plainPixels(v)) << v;
  }
}

TEST(Plot, AxesMapValuesAndChooseTicks) {
  const Axis log = Axis::logarithmic(1.0, 10000.0, 50.0, 450.0);
  EXPECT_DOUBLE_EQ(log(1.0), 50.0);
  EXPECT_DOUBLE_EQ(log(100.0), 250.0);
  EXPECT_DOUBLE_EQ(log(10000.0), 450.0);
  std::vector<std::string> labels;
  int minor = 0;
  for (const Tick& t : log.ticks())
    t.major ? labels.push_back(t.label) : void(++minor);
  EXPECT_EQ(labels, (std::vector<std::string>{"1", "10", "100", "1000", "10000"}));
  EXPECT_EQ(minor, 4 * 8);
  labels.clear();
  for (const Tick& t : Axis::logarithmic(1e-6, 1e-3, 0, 1).ticks())
    if (t.major) labels.push_back(t.label);
  EXPECT_EQ(labels, (std::vector<std::string>{"10⁻⁶", "10⁻⁵", "10⁻⁴", "0.001"}));

  const Axis up = Axis::linear(0.0, 2000.0, 300.0, 0.0);  // grows upwards
  EXPECT_DOUBLE_EQ(up(500.0), 225.0);
  labels.clear();
  for (const Tick& t : up.ticks())
    labels.push_back(t.label);
  EXPECT_EQ(labels, (std::vector<std::string>{"0", "500", "1000", "1500", "2000"}));
  EXPECT_EQ(Axis::linear(-0.3, 0.3, 0, 1).ticks().size(), 7u);  // -0.3 ... 0.3 by 0.1

  EXPECT_EQ(decadesAround(5.0, 4000.0), (std::pair<double, double>{1.0, 10000.0}));
  EXPECT_EQ(decadesAround(10.0, 10.0), (std::pair<double, double>{10.0, 100.0}));
}

TEST(Plot, SvgCarriesHostileTextAsText) {
  std::string out;
  Svg svg(out);
  svg.begin(100, 50, "chart of <b>");
  svg.text(1, 2, "</text><script>x</script>", "label\" onload=\"x", Svg::Anchor::end, -90);
  svg.polyline({{0, 0}}, "single");  // one point draws nothing
  svg.polyline({{0.04, -0.04}, {99.96, 12.345}}, "curve");
  svg.end();
  EXPECT_EQ(out,
            "<svg viewBox=\"0 0 100.0 50.0\" width=\"100.0\" height=\"50.0\" role=\"img\">"
            "<title>chart of &lt;b&gt;</title>"
            "<text x=\"1.0\" y=\"2.0\" class=\"label&quot; onload=&quot;x\" text-anchor=\"end\" "
            "transform=\"rotate(-90.0 1.0 2.0)\">&lt;/text&gt;&lt;script&gt;x&lt;/script&gt;</text>"
            "<polyline points=\"0.0,0.0 100.0,12.3\" class=\"curve\"/></svg>\n");
}

}  // namespace
}  // namespace tcsum::plot
