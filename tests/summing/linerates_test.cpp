#include <gtest/gtest.h>

#include <algorithm>

#include "summing/summing.hpp"
#include "support/scheme.hpp"

namespace tcsum::test {

TEST(LineRates, LineEndingOnALevelWithoutDownwardTransitions) {
  // 3 -> 2 only: nothing can be detected below level 2, so RATE(3,2) = 100 x 0.5.
  Store s = cascade({0.0f, 20.0f, 100.0f}, {{3, 2, 0.5f}});
  std::copy_n("EC      ", 8, s.DECMODE.begin());
  s.PK(2) = 0.5f, s.OMEGAK = 0.5f, s.EPSX = 0.25f;
  CASCADE(s);
  LINERATES(s);
  EXPECT_FLOAT_EQ(s.RATE(3, 2), 50.0f);
  EXPECT_FLOAT_EQ(s.ECRATE(2), 1.25f);  // the raised value stays: 20 x 0.5 x 0.5 x 0.25
}

}  // namespace tcsum::test
