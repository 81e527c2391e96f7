// The sampled efficiency curve: the values are EPS's own, the ranges and the
// extrapolation flag are where EPS takes them, the boundaries are sampled on
// both sides, and tables the interpolation cannot use give no curve.
#include "efficiency/curve.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "efficiency/eps.hpp"

namespace tcsum {
namespace {

// A coaxial detector's table (keV, total and peak x 10^3).
void fillTable(Store& s, int32_t kdet) {
  const float table[][3] = {{5, 39.87f, 39.08f},  {12, 211.1f, 181.6f},  {30, 239, 225.9f},
                            {60, 240.6f, 230.1f}, {122, 190.4f, 160.2f}, {250, 150.2f, 80.5f},
                            {662, 118.3f, 35.2f}, {1332, 101.7f, 19.4f}, {4000, 143.9f, 15.97f}};
  s.NEFF = 9;
  s.KDET = kdet;
  for (int32_t k = 0; k < 27; ++k)
    s.EFF(k % 3 + 1, k / 3 + 1) = table[k / 3][k % 3];
  buildLogTable(s);
}

TEST(EfficiencyCurve, SamplesAreEpsAtTheSameEnergies) {
  for (int32_t kdet : {4, 7}) {
    Store s;
    fillTable(s, kdet);
    const std::vector<CurveSample> curve = efficiencyCurve(s);
    ASSERT_GT(curve.size(), 4u * kCurveSamplesPerDecade);
    EXPECT_FLOAT_EQ(curve.front().energy, 1.0f);
    EXPECT_FLOAT_EQ(curve.back().energy, 10000.0f);
    for (std::size_t k = 0; k < curve.size(); ++k) {
      const CurveSample& c = curve[k];
      ASSERT_EQ(std::bit_cast<uint32_t>(c.total), std::bit_cast<uint32_t>(EPS(s, c.energy, 1)));
      ASSERT_EQ(std::bit_cast<uint32_t>(c.peak), std::bit_cast<uint32_t>(EPS(s, c.energy, 2)));
      ASSERT_EQ(c.totalRange, epsRange(s, c.energy, 1));
      ASSERT_EQ(c.peakRange, epsRange(s, c.energy, 2));
      ASSERT_EQ(c.extrapolated, c.energy < 5.0f || c.energy > 4000.0f) << c.energy;
      if (k > 0) {
        ASSERT_LT(curve[k - 1].energy, c.energy);
        ASSERT_LT(c.energy / curve[k - 1].energy, 1.01f) << "gap at " << c.energy;
      }
    }
  }
}

TEST(EfficiencyCurve, RangeBoundariesAndTablePointsAreSampled) {
  Store s;
  fillTable(s, 7);
  const std::vector<CurveSample> curve = efficiencyCurve(s);
  auto at = [&](float e) -> const CurveSample* {
    for (const CurveSample& c : curve)
      if (c.energy == e) return &c;
    return nullptr;
  };
  for (float e : {5.0f, 60.0f, 122.0f, 4000.0f}) {
    ASSERT_NE(at(e), nullptr) << e;
    EXPECT_FALSE(at(e)->extrapolated);
  }
  // Detector code 7: straight lines up to 81 keV, log-log for the peak above 200 keV.
  ASSERT_NE(at(std::nextafter(81.0f, 0.0f)), nullptr);
  EXPECT_EQ(at(std::nextafter(81.0f, 0.0f))->peakRange, EfficiencyRange::straightLine);
  EXPECT_EQ(at(81.0f)->peakRange, EfficiencyRange::quadratic);
  EXPECT_EQ(at(200.0f)->peakRange, EfficiencyRange::quadratic);
  EXPECT_EQ(at(std::nextafter(200.0f, 1e30f))->peakRange, EfficiencyRange::logLog);
  EXPECT_EQ(at(std::nextafter(200.0f, 1e30f))->totalRange, EfficiencyRange::quadratic);
}

TEST(EfficiencyCurve, UnusableTablesGiveNoCurve) {
  Store s;
  fillTable(s, 4);
  s.NEFF = 1;  // one point: nothing to interpolate between
  EXPECT_TRUE(efficiencyCurve(s).empty());
  fillTable(s, 4);
  s.EFF(1, 4) = 12.0f;  // energies not ascending
  EXPECT_TRUE(efficiencyCurve(s).empty());
  fillTable(s, 4);
  s.EFF(1, 1) = 0.0f;  // no decade below zero
  EXPECT_TRUE(efficiencyCurve(s).empty());
}

}  // namespace
}  // namespace tcsum
