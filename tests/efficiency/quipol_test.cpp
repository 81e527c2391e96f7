// QUIPOL: choice of the three points, exact hits, EXTRA, tables of one to three points, the
// rounding of the weights.
#include "efficiency/quipol.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <tuple>
#include <vector>

#include "core/fatal.hpp"

namespace tcsum {
namespace {

TEST(Quipol, ChoosesPointsAndReportsExtrapolation) {
  // (x, y): uneven gaps for the shifts, irregular ordinates so the value reveals the points used.
  const float pts[9][2] = {{0, 3},  {8, 7},  {10, 2}, {30, 9}, {40, 4},
                           {42, 8}, {52, 1}, {54, 6}, {60, 5}};
  constexpr float kNone = -777.0f;  // EXTRA left alone
  // Points in the table, x, VAL(2) (python3: Lagrange in double through the points named
  // first), EXTRA (by hand).
  const std::tuple<int32_t, float, float, float> cases[] = {
      {9, -5.0f, -19.0f, -0.5f},     // 1-3, below: (-5 - 0) / (10 - 0)
      {9, 7.0f, 8.6f, kNone},        // 1-3: left of nearest point 2
      {9, 9.5f, 3.475f, kNone},      // 1-3: left of nearest 10, 9.5 - 0 < 30 - 9.5: shift left
      {9, 10.0f, 2.0f, kNone},       // exact hit
      {9, 10.5f, 0.911932f, kNone},  // 2-4: right of nearest 10, no left shift
      {9, 24.0f, 9.28f, kNone},      // 3-5: left of nearest 30; 24 - 8 = 40 - 24: no shift
      {9, 41.0f, 5.791667f, kNone},  // 4-6: midway 40/42 takes 40; 52 - 41 = 41 - 30: no shift
      {9, 51.5f, 0.083333f, kNone},  // 6-8: left of 52: no right shift though 60 - 51.5 < 51.5 - 42
      {9, 52.5f, 2.5f, kNone},       // 7-9: right of 52, 60 - 52.5 < 52.5 - 42: shift right
      {9, 55.0f, 7.5f, kNone},       // 7-9: above point N - 1
      {9, 70.0f, -50.0f, 1.25f},     // 7-9, above: (70 - 60) / (60 - 52)
      {3, 25.0f, -112.0f, 1.5f},     // 1-3, above: (25 - 10) / (10 - 0)
      {2, 12.0f, 9.0f, 0.5f},        // straight line 3 + x / 2; (12 - 8) / (8 - 0)
      {2, -4.0f, 1.0f, -0.5f},       // (-4 - 0) / (8 - 0)
      {1, 5.0f, 3.0f, kNone},        // one point: its ordinate
  };
  Mat<float, 2, 9> tab;  // exactly 9 columns: a read beyond the last point stops the run
  for (int32_t k = 0; k < 18; ++k)
    tab(k % 2 + 1, k / 2 + 1) = pts[k / 2][k % 2];
  for (const auto& [n, x, want, extraWanted] : cases) {
    SCOPED_TRACE(testing::Message() << "N=" << n << " x=" << x);
    Vec<float, 2> val;
    val(1) = x;
    float extra = kNone;
    QUIPOL(tab, val, 2, n, extra);
    EXPECT_NEAR(val(2), want, 1e-4f);
    EXPECT_EQ(extra, extraWanted);
  }
}

TEST(Quipol, WeightsRoundInTheirOrder) {
  // Three points (keV, total, peak x 10^3). Expected bits: tests/reference/reference.py, "quipol
  // three points"; each weight is rounded as (x2 - x) x ((x3 - x) / (x3 - x1)) / (x2 - x1), and
  // these x tell that apart from the other groupings of W1.
  const float pts[3][3] = {{100, 241.5f, 234}, {120, 241.7f, 229.9f}, {150, 241.9f, 219.7f}};
  const std::tuple<float, uint32_t, uint32_t> cases[] = {{101.3f, 0x437183bdu, 0x4369cc93u},
                                                         {130.283f, 0x4371c835u, 0x4362f381u}};
  Mat<float, 3, 3> tab;
  for (int32_t k = 0; k < 9; ++k)
    tab(k % 3 + 1, k / 3 + 1) = pts[k / 3][k % 3];
  for (const auto& [x, total, peak] : cases) {
    Vec<float, 3> val;
    val(1) = x;
    float extra = 0.0f;
    QUIPOL(tab, val, 3, 3, extra);
    EXPECT_EQ(std::bit_cast<uint32_t>(val(2)), total) << "x=" << x;
    EXPECT_EQ(std::bit_cast<uint32_t>(val(3)), peak) << "x=" << x;
  }
}

TEST(Quipol, TwoPointsAtTheSameRoundedDistanceStopTheScan) {
  // x = 2^25: x - 0 is 2^25 and x - 1 rounds (to even) to 2^25 too, so the scan stops at point 2
  // and takes points 1-3, whose ordinates are 0, though points 2-4 lie nearer.
  Mat<float, 2, 4> tab;
  const float X[4] = {0, 1, 2, 3};
  for (int32_t k = 1; k <= 4; ++k)
    tab(1, k) = X[k - 1];
  tab(2, 4) = 1.0f;
  Vec<float, 2> val;
  val(1) = 0x1p25f;
  float extra = 0.0f;
  QUIPOL(tab, val, 2, 4, extra, leastAbscissaStep(tab.row(1, 4)));
  EXPECT_EQ(val(2), 0.0f);
  // A table of more points than the store holds ends the run, even at one of its points.
  val(1) = 0.0f;
  EXPECT_THROW(QUIPOL(tab, val, 2, 5, extra), RunStop);
}

TEST(Quipol, BisectionEndsWhereTheScanEnds) {
  // Tables of 3 to 29 points, some spread over decades and some in clusters of neighbouring
  // floats, far from 0 or around it, and some that do not ascend; x at, next to and between the
  // points, far outside and not finite.
  std::mt19937 random(20240611);
  auto uniform = [&random](float a, float b) {
    return std::uniform_real_distribution<float>(a, b)(random);
  };
  const float kInf = std::numeric_limits<float>::infinity();
  int64_t bisected = 0;
  int64_t cases = 0;
  int64_t tied = 0;
  for (int32_t table = 0; table < 400; ++table) {
    const auto N = static_cast<int32_t>(3 + table % 27);
    std::vector<float> X(static_cast<std::size_t>(N));
    const float start = table % 3 == 0 ? uniform(-100.0f, 100.0f) : uniform(1.0f, 1e4f);
    const int kind = table % 5;
    X[0] = start;
    for (std::size_t k = 1; k < X.size(); ++k) {
      if (kind == 0) X[k] = std::nextafter(X[k - 1], kInf);             // neighbouring floats
      if (kind == 1) X[k] = X[k - 1] + uniform(0.0f, 4.0f) * 0x1p-20f;  // a tight cluster
      if (kind == 2) X[k] = X[k - 1] * 1.5f + 1.0f;                     // decades
      if (kind == 3) X[k] = X[k - 1] + uniform(0.1f, 10.0f);            // even spacing
      if (kind == 4) X[k] = X[k - 1] + uniform(-1.0f, 10.0f);           // not always ascending
    }
    std::vector<float> xs = {-kInf, kInf, std::numeric_limits<float>::quiet_NaN(), -1e30f, 1e30f};
    for (float p : X) {
      for (float f : {1.0f, -1.0f, 0.5f, 2.0f, 1e3f, 1e7f})
        xs.push_back(p + f * (X.back() - X.front()));
      xs.insert(xs.end(), {p, std::nextafter(p, -kInf), std::nextafter(p, kInf)});
    }
    for (std::size_t k = 1; k < X.size(); ++k)
      xs.push_back(X[k - 1] + (X[k] - X[k - 1]) / 2.0f);
    for (int32_t i = 0; i < 50; ++i)
      xs.push_back(uniform(X.front() - 1.0f, X.back() + 1.0f));

    const float step = leastAbscissaStep(X);
    // Around where the bisection gives way to the scan, and beyond, where points tie.
    for (float f : {0x1p21f, 0x1.fffp21f, 0x1p22f, 0x1p23f, 0x1p24f, 0x1p26f})
      xs.insert(xs.end(), {X.front() + f * step, X.front() - f * step});
    for (float x : xs) {
      const ScanEnd scan = scanForNearest(X, x);
      const ScanEnd found = findNearest(X, x, step);
      ASSERT_TRUE(found.kind == scan.kind && found.I == scan.I)
          << "table " << table << " x=" << x << ": scan ends at " << scan.I << ", bisection at "
          << found.I;
      bisected += std::fabs(X.front() - x) * 0x1p-22f < step;
      ++cases;
      tied += scan.kind == ScanEnd::stopped && X[static_cast<std::size_t>(scan.I - 1)] < x;
    }
  }
  // The bisection answered for many, and the scan stopped at tied points for some.
  EXPECT_GT(bisected, cases / 3) << bisected << " of " << cases;
  EXPECT_GT(tied, 100) << tied;
}

}  // namespace
}  // namespace tcsum
