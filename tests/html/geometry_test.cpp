#include "html/geometry.hpp"

#include <gtest/gtest.h>

#include <regex>

namespace tcsum::html {
namespace {

// A crystal 60 mm across and 60 mm long behind a window, a point 100 mm in front.
geometry::Geometry simple() {
  geometry::Geometry g;
  g.world.materials.push_back({"germanium", {{32, 1.0}}, 5.32});
  g.world.materials.push_back({"aluminium", {{13, 1.0}}, 2.7});
  g.world.regions.push_back({0.0, 3.5, 0.0, 0.1, 1, false, false, "end-cap window"});
  g.world.regions.push_back({0.0, 3.0, 0.5, 6.5, 0, true, true, "active germanium"});
  g.world.regions.push_back({0.5, 0.6, 2.0, 6.5, 0, false, true, "core dead layer"});
  g.source.push_back({0.0, 0.0, -10.0, -10.0});
  g.sourceSummary = "point at 100 mm";
  g.detectorSummary = "test";
  return g;
}

double attribute(const std::string& element, const std::string& name) {
  std::smatch m;
  EXPECT_TRUE(std::regex_search(element, m, std::regex(" " + name + "=\"([-0-9.]+)\""))) << element;
  return std::stod(m[1]);
}

std::string elementOf(const std::string& svg, const std::string& tag, const std::string& cls) {
  std::smatch m;
  EXPECT_TRUE(std::regex_search(svg, m, std::regex("<" + tag + " [^>]*class=\"" + cls + "\"[^>]*>"))) << cls;
  return m.empty() ? std::string() : m[0].str();
}

TEST(GeometryDrawing, CrossSectionToScale) {
  const std::string svg = crossSection(simple());
  ASSERT_EQ(svg.rfind("<svg", 0), 0u);
  const std::string crystal = elementOf(svg, "rect", "ge-active");
  const double width = attribute(crystal, "width"), height = attribute(crystal, "height");
  EXPECT_NEAR(width / height, 1.0, 1e-3);  // 60 mm across, 60 mm long
  const double scale = width / 6.0;       // pixels per cm
  // The point source 10 cm in front of the window, on the axis through the crystal's middle.
  const std::string point = elementOf(svg, "circle", "activity");
  const std::string window = elementOf(svg, "rect", "absorber");
  EXPECT_NEAR(attribute(window, "y") - attribute(point, "cy"), 10.0 * scale, 0.15);
  EXPECT_NEAR(attribute(point, "cx"), attribute(crystal, "x") + width / 2.0, 0.15);
  // A ring with a hole is cut twice, one rectangle each side of the axis
  // (and one more in the key).
  const std::regex dead("<rect [^>]*class=\"ge-dead\"");
  EXPECT_EQ(std::distance(std::sregex_iterator(svg.begin(), svg.end(), dead), std::sregex_iterator()), 3);
  // The scale bar is 10 mm long at the drawing's scale.
  const std::string bar = elementOf(svg, "line", "bar");
  EXPECT_NEAR(attribute(bar, "x2") - attribute(bar, "x1"), scale, 0.15);
  EXPECT_NE(svg.find("<title>core dead layer: germanium</title>"), std::string::npos);
}

TEST(GeometryDrawing, CurvesAndPage) {
  std::vector<CurvePoint> curve = {{50, 0.1, 0.08}, {500, 0.05, 0.01}, {2000, 0.03, 0.004}};
  const std::string svg = efficiencyCurves(curve);
  EXPECT_NE(svg.find("class=\"total\""), std::string::npos);
  EXPECT_NE(svg.find("class=\"peak\""), std::string::npos);
  EXPECT_EQ(efficiencyCurves(std::span(curve).first(1)), "");
  const std::string page = efficiencyPage(simple(), curve, {{"Source", "a <point>"}}, {"integration: fine"});
  EXPECT_NE(page.find("a &lt;point&gt;"), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("://"), std::string::npos);
  EXPECT_NE(page.find("<td>500</td><td>0.05</td><td>0.01</td>"), std::string::npos);
}

}  // namespace
}  // namespace tcsum::html
