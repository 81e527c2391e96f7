#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "core/fatal.hpp"
#include "decay/decay.hpp"
#include "report/report.hpp"
#include "support/scheme.hpp"

namespace tcsum::test {

TEST(Transitions, ProbabilitiesDetectionAndTheIntensityAsRead) {
  // From level 3: 3 -> 1 at 20 keV (EPST 0.2, EPS 0.1), intensity 30, ALPHA 1, ALPHAK 0.5, and
  // 3 -> 2, intensity 20: XTR(3,1) = 2 x 30 / (60 + 20). BPEAK = XTR EPS / (1 + ALPHA),
  // DMISS = XTR (1 - (OMEGAK ALPHAK EPSTX + EPST) / (1 + ALPHA)).
  Store s = scheme({0.0f, 0.0f, 0.0f}, {{3, 1, 20.0f, 30.0f, 1.0f, 0.5f}, {3, 2, 40.0f, 20.0f}});
  s.OMEGAK = 0.8f, s.EPSTX = 0.3f;
  DataSetResult ds;
  TRANSITIONS(s, ds.transitions);
  Report report;
  writeTransitions(report, ds);
  EXPECT_NEAR(s.XTR(3, 1), 0.75, 1e-6);
  EXPECT_NEAR(s.BPEAK(3, 1), 0.0375, 1e-6);  // 0.75 x 0.1 / 2
  EXPECT_NEAR(s.DMISS(3, 1), 0.63, 1e-6);    // 0.75 (1 - (0.12 + 0.2) / 2)
  // The row lists the intensity as read, not the probability.
  EXPECT_EQ(report.contents().substr(0, report.contents().find("\r\n") + 2),
            "             3 ->  1         20.000          30.000000           1.000000"
            "           0.500000      2.000E-01   1.000E-01\r\n");
}

TEST(Transitions, DoubleEvaluationRoundedOnlyWhenStored) {
  // Expected bits: tests/reference/reference.py, "transitions from level 3"; evaluating BPEAK or
  // DMISS in float changes both of them.
  Store s = scheme({0.0f, 0.0f, 0.0f}, {{3, 1, 46.68f, 42.47f, 0.892f, 0.714f},
                                        {3, 2, 45.87f, 52.08f, 1.005f, 0.804f}});
  s.OMEGAK = 0.8942f, s.EPSTX = 0.2428f;
  std::vector<TransitionResult> rows;
  TRANSITIONS(s, rows);
  auto bits = [](float x) { return std::bit_cast<uint32_t>(x); };
  EXPECT_EQ(bits(s.XTR(3, 1)), 0x3edea7ccu);
  EXPECT_EQ(bits(s.BPEAK(3, 1)), 0x3d5bbca7u);
  EXPECT_EQ(bits(s.DMISS(3, 1)), 0x3e957a74u);
  EXPECT_EQ(bits(s.XTR(3, 2)), 0x3f10ac1au);
  EXPECT_EQ(bits(s.BPEAK(3, 2)), 0x3d846431u);
  EXPECT_EQ(bits(s.DMISS(3, 2)), 0x3ec5f549u);
}

TEST(Transitions, StencilsOfFewerLevelsEndTheRun) {
  // Stencils made for two levels and a scheme of three: a transition from level 3 has none.
  const Store two = scheme({0.0f, 0.0f}, {{2, 1, 20.0f, 1.0f}});
  const TransitionStencils stencils(two);
  Store three = scheme({0.0f, 0.0f, 0.0f}, {{2, 1, 20.0f, 1.0f}, {3, 1, 40.0f, 1.0f}});
  std::vector<TransitionResult> rows;
  EXPECT_THROW(TRANSITIONS(three, rows, &stencils), RunStop);
  EXPECT_EQ(rows.size(), 1u);
}

}  // namespace tcsum::test
