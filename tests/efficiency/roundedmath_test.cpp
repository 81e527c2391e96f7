// The rounded logarithm and power of ten at exact and special values and at
// the ends of the float range. Every other input is covered by the
// exhaustive test, roundedmath_exhaustive.cpp.
#include "efficiency/roundedmath.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace tcsum {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(RoundedMath, ExactPowersOfTenAreExact) {
  float power = 1.0f;
  for (int k = 0; k <= 10; ++k, power *= 10.0f) {
    EXPECT_EQ(roundedLog10(power), static_cast<float>(k)) << power;
    EXPECT_EQ(roundedPow10(static_cast<float>(k)), power) << k;
  }
  EXPECT_EQ(roundedPow10(-1.0f), 0.1f);
  EXPECT_EQ(roundedPow10(0.0f), 1.0f);
  EXPECT_EQ(roundedPow10(-0.0f), 1.0f);
}

TEST(RoundedMath, HardCaseWhereTheDoubleRoundsWrong) {
  // log10 of this input lies 2^-54 (relative) above a midpoint in magnitude;
  // in double it is the midpoint itself, which ties to the even float below.
  EXPECT_EQ(roundedLog10(0x1.fddcf4p-98f), -0x1.d33a46p+4f);
}

TEST(RoundedMath, SpecialValuesAndRangeEnds) {
  EXPECT_EQ(roundedLog10(0.0f), -kInf);
  EXPECT_TRUE(std::isnan(roundedLog10(-1.0f)));
  EXPECT_TRUE(std::isnan(roundedLog10(kNaN)));
  EXPECT_EQ(roundedLog10(kInf), kInf);
  EXPECT_EQ(roundedLog10(std::numeric_limits<float>::denorm_min()), -0x1.66d3e8p+5f);

  EXPECT_TRUE(std::isnan(roundedPow10(kNaN)));
  EXPECT_EQ(roundedPow10(kInf), kInf);
  EXPECT_EQ(roundedPow10(-kInf), 0.0f);
  // The largest argument with a finite result and the next; the smallest with
  // a non-zero result and the next.
  EXPECT_EQ(roundedPow10(0x1.344134p+5f), 0x1.ffff66p+127f);
  EXPECT_EQ(roundedPow10(0x1.344136p+5f), kInf);
  EXPECT_EQ(roundedPow10(-0x1.693c6ap+5f), std::numeric_limits<float>::denorm_min());
  EXPECT_EQ(roundedPow10(-0x1.693c6cp+5f), 0.0f);
  EXPECT_EQ(roundedPow10(1000.0f), kInf);
}

TEST(RoundedMath, MidpointWindow) {
  using roundedmath::kMidpointWindow;
  using roundedmath::nearMidpoint;
  EXPECT_FALSE(nearMidpoint(1.0));                                  // a float
  EXPECT_TRUE(nearMidpoint(1.0 + 0x1p-24));                         // midpoint above 1
  EXPECT_TRUE(nearMidpoint(-(1.0 - 0x1p-25) + 0x1p-48));            // below 1, negative, inside
  EXPECT_FALSE(nearMidpoint(1.0 + 0x1p-24 + 2 * kMidpointWindow));  // just outside
  EXPECT_TRUE(nearMidpoint(roundedmath::kOverflowMidpoint));        // FLT_MAX to infinity
  EXPECT_TRUE(nearMidpoint(0x1p-150));                              // 0 to the least subnormal
  EXPECT_FALSE(nearMidpoint(0.0));
  EXPECT_FALSE(nearMidpoint(std::numeric_limits<double>::infinity()));
}

TEST(RoundedMath, QuickMidpointTestHoldsWhereverTheExactOneDoes) {
  // Steps of a unit in the double's last place across the midpoints on either side of 2^-126,
  // above 1, below 2 and above FLT_MAX, either sign; the window spans about 64 units each way.
  using roundedmath::mayBeNearMidpoint;
  using roundedmath::nearMidpoint;
  int32_t near = 0;
  for (double midpoint :
       {0x1.000001p-126, 0x1.000001p0, 0x1.ffffffp127, 0x1.ffffffp-127, 0x1.ffffffp0}) {
    for (double sign : {1.0, -1.0}) {
      double y = sign * midpoint;
      for (int32_t k = 0; k < 80; ++k)
        y = std::nextafter(y, 0.0);
      for (int32_t k = 0; k < 160; ++k, y = std::nextafter(y, sign * 1e300)) {
        if (!nearMidpoint(y)) continue;
        ++near;
        EXPECT_TRUE(mayBeNearMidpoint(y)) << y;
      }
    }
  }
  EXPECT_GT(near, 500);
  EXPECT_FALSE(mayBeNearMidpoint(1.0));
  EXPECT_FALSE(mayBeNearMidpoint(0.0));
  EXPECT_TRUE(mayBeNearMidpoint(0x1p-150));
}

}  // namespace
}  // namespace tcsum
