// QUIPOL: choice of the three points, exact hits, EXTRA, tables of one to three points, the
// rounding of the weights.
#include "efficiency/quipol.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <tuple>

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

}  // namespace
}  // namespace tcsum
