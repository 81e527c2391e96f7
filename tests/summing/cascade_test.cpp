#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>

#include "summing/summing.hpp"
#include "support/scheme.hpp"

namespace tcsum::test {

TEST(Cascade, SumPeaksOnlyThroughLevelsWithADirectTransition) {
  // 4 -> 3 -> 2 -> 1 with 4 -> 2 and 4 -> 1 but no 3 -> 1; peak probabilities exact in binary.
  Store s = cascade({0.0f, 0.0f, 0.0f, 100.0f},
                    {{4, 3, 0.5f}, {4, 2, 0.25f}, {4, 1, 0.125f}, {3, 2, 0.5f}, {2, 1, 0.5f}});
  CASCADE(s);
  EXPECT_EQ(s.SUMPK(4, 1), 0.25f);  // 0.125 + 0.25 x 0.5 by the crossover; via level 3 nothing
  EXPECT_EQ(s.SUMPK(3, 1), 0.0f);
}

TEST(Cascade, CaptureXRayMissedOnTheWayIntoALevel) {
  // Levels fed 40 and 60, 2 -> 1 with DMISS 0.5, K-capture fraction 0.8, OMEGAK 0.5. With EPSTX
  // 0.25 the capture x-ray is missed with 1 - 0.25 x 0.8 x 0.5 = 0.9: NABOVE(2) = 60 x 0.9 = 54,
  // NABOVE(1) = 40 x 0.9 + 54 x 0.5 = 63. Without capture x-rays 40 + 60 x 0.5 = 70.
  auto nabove1 = [](const char* DECMODE, float EPSTX) {
    Store s = cascade({40.0f, 60.0f}, {{2, 1, 0.2f, 0.5f}});
    std::copy_n(DECMODE, 8, s.DECMODE.begin());
    s.PK(1) = 0.8f, s.PK(2) = 0.8f, s.OMEGAK = 0.5f, s.EPSTX = EPSTX;
    CASCADE(s);
    return s.NABOVE(1);
  };
  EXPECT_NEAR(nabove1("EC      ", 0.25f), 63.0, 1e-4);
  EXPECT_NEAR(nabove1("EC      ", 0.0f), 70.0, 1e-4);
  EXPECT_NEAR(nabove1("EC+     ", 0.25f), 70.0, 1e-4);  // not electron capture
}

TEST(Cascade, CaptureXRayFactorRoundsInItsOrder) {
  // Expected bits: tests/reference/reference.py, "electron capture, two levels"; the factor is
  // 1 - ((EPSTX x PK) x OMEGAK), and both other groupings of the product change both values.
  Store s = cascade({14.5f, 85.4f}, {{2, 1, 0.2f, 0.625f}});
  std::copy_n("EC      ", 8, s.DECMODE.begin());
  s.PK(1) = 0.8724f, s.PK(2) = 0.729f, s.OMEGAK = 0.8942f, s.EPSTX = 0.2482f;
  CASCADE(s);
  EXPECT_EQ(std::bit_cast<uint32_t>(s.NABOVE(1)), 0x4261ba12u);
  EXPECT_EQ(std::bit_cast<uint32_t>(s.NABOVE(2)), 0x428f2a5du);
}

}  // namespace tcsum::test
