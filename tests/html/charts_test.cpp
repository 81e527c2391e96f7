// Charts of the page: how the decay scheme classes each arrow (size of the
// line's correction, crossover, no peak count) and orders its columns, and a
// data set's efficiency chart that reuses the run's curve instead of
// repeating it.
#include "html/charts.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <random>
#include <regex>

namespace tcsum::html {
namespace {

TransitionResult transition(int32_t upper, int32_t lower, float energy) {
  return {upper, lower, energy, 10.0f, 0.0f, 0.0f, 0.1f, 0.05f, 0.5f};
}

DataSetResult cascade() {
  DataSetResult ds;
  ds.DSNAME = {'T', 'E', 'S', 'T', ' ', ' ', ' ', ' '};
  ds.levels = {{1, 0.0f, 0.0f, 0.0f, 0.0f},
               {3, 900.0f, 80.0f, 0.0f, 0.0f},
               {2, 300.0f, 20.0f, 0.0f, 0.0f},
               {4, 950.0f, 0.0f, 0.0f, 0.0f}};
  ds.transitions = {transition(2, 1, 300), transition(3, 2, 600), transition(3, 1, 900),
                    transition(4, 3, 50)};
  ds.gammas = {{2, 1, 300, 1, 1, 1.005f}, {3, 2, 600, 1, 1, 1.5f}, {3, 1, 900, 1, 1, 0.2f}};
  return ds;
}

std::string plainSignificant(float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "∞" : "-∞";
  char buffer[32];
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  return {buffer, r.ptr};
}

TEST(Charts, SignificantDigitsAsThePlainConversion) {
  std::vector<float> values = {0.0f,
                               -0.0f,
                               NAN,
                               INFINITY,
                               -INFINITY,
                               1.0f,
                               -1.0f,
                               0x1p-14f,
                               std::nextafter(0x1p-14f, 0.0f),
                               0x1p17f,
                               std::nextafter(0x1p17f, 0.0f),
                               9.999995f,
                               9.9999949f,
                               99999.95f,
                               99999.945f,
                               0.0001f,
                               9.999995e-5f,
                               9.999994e-5f,
                               123456.5f,
                               123457.5f,
                               -100000.5f,
                               0.1f,
                               1e-5f,
                               3e38f,
                               1e-40f};
  std::mt19937 random(7);
  for (int k = 0; k < 300000; ++k) {
    values.push_back(std::bit_cast<float>(static_cast<uint32_t>(random())));  // any float
    // A magnitude of 10^-5 to 10^6, and one exactly halfway between two
    // six-digit decimals: an odd multiple of 2^-(s+1) of 10^(5-s) to 10^(6-s).
    values.push_back(std::ldexp(static_cast<float>(random() % (1u << 24)), -34 + k % 42));
    const int s = k % 10;
    const double lo = std::ldexp(std::pow(10.0, 5 - s), s + 1), u = (random() % 1024) / 1024.0;
    const auto odd = static_cast<float>(2 * std::floor(lo * (1 + 9 * u) / 2) + 1);
    values.push_back(std::ldexp(odd, -(s + 1)));
  }
  for (float v : values)
    ASSERT_EQ(significant(v), plainSignificant(v)) << std::bit_cast<uint32_t>(v);
}

TEST(Charts, DecaySchemeClassesAndOrdersTheArrows) {
  std::string svg;
  decayScheme(svg, cascade());
  std::vector<std::string> arrows;
  const std::regex arrow("<g class=\"(arrow[^\"]*)\"><title>([^<]*)</title>");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), arrow); it != std::sregex_iterator();
       ++it)
    arrows.push_back((*it)[1].str() + " | " + (*it)[2].str());
  // Level 4 is the highest, then 3 with its longest arrow first; 3 -> 1 has
  // the cascade through 2 beside it.
  EXPECT_EQ(arrows, (std::vector<std::string>{
                        "arrow cn | 4 → 3: 50 keV, 10 %, no peak count",
                        "arrow c4 cross | 3 → 1: 900 keV, 10 %, factor 0.2, crossover",
                        "arrow c3 | 3 → 2: 600 keV, 10 %, factor 1.5",
                        "arrow c0 | 2 → 1: 300 keV, 10 %, factor 1.005"}));
  EXPECT_NE(svg.find("class=\"level-label fed\" text-anchor=\"end\">80</text>"), std::string::npos);
}

TEST(Charts, DataSetChartReusesTheRunCurve) {
  DetectorResult d;
  d.table = {{10, 200, 150}, {100, 250, 200}, {1000, 150, 50}};
  for (float e = 1.0f; e <= 10000.0f; e *= 1.01f)
    d.efficiencyCurve.push_back({e, 0.2f, 0.1f, EfficiencyRange::quadratic,
                                 EfficiencyRange::quadratic, e < 10.0f || e > 1000.0f});
  const std::optional<EfficiencyFrame> frame = efficiencyFrame(d);
  ASSERT_TRUE(frame);
  std::string run, one;
  efficiencyChart(run, d, *frame);
  EXPECT_NE(run.find("<g id=\"eff-base\">"), std::string::npos);

  DataSetResult ds = cascade();
  ds.EX = 40.0f;
  ds.transitions.push_back(transition(4, 1, 20000.0f));  // beyond the drawn energies
  dataSetEfficiencyChart(one, *frame, ds);
  EXPECT_NE(one.find("<use href=\"#eff-base\"/>"), std::string::npos);
  EXPECT_EQ(one.find("class=\"curve"), std::string::npos);
  EXPECT_LT(one.size(), 4000u);
  EXPECT_NE(one.find("1 energies lie outside the drawn range"), std::string::npos);

  EXPECT_FALSE(efficiencyFrame(DetectorResult{}));  // no curve, no chart
}

}  // namespace
}  // namespace tcsum::html
