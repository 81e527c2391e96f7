#include <gtest/gtest.h>

#include "decay/decay.hpp"
#include "report/report.hpp"
#include "summing/summing.hpp"
#include "support/scheme.hpp"

namespace tcsum::test {

TEST(Correct, RowsOfLinesWithACountAndTheXRayLine) {
  Store s = scheme({0.0f, 0.0f, 0.0f}, {});
  s.EGAM(3, 1) = 40.0f, s.EGAM(3, 2) = 25.0f, s.EX = 6.4f;
  // 2 -> 1 has no count with summing: no row, and its x-rays are dropped too.
  s.RATE0(2, 1) = 5.0f, s.XRATE0(2, 1) = 4.0f, s.XRATE(2, 1) = 2.0f;
  s.RATE(3, 1) = 2.0f;  // gains by summing-in only
  // 3 -> 2 is the only x-ray contribution: the x-ray factor is its own 0.7 / 0.3.
  s.RATE0(3, 2) = 1.5f, s.RATE(3, 2) = 1.2f, s.XRATE0(3, 2) = 0.7f, s.XRATE(3, 2) = 0.3f;
  DataSetResult ds;
  CORRECT(s, ds.gammas, ds.xray);
  ASSERT_TRUE(ds.xray.has_value());
  EXPECT_EQ(ds.xray->RATE, 0.3f);  // the count with coincidences of its one contribution
  ASSERT_EQ(ds.xray->contributions.size(), 1u);
  Report report;
  for (const GammaLine& g : ds.gammas)
    writeResultRow(report, g.energy, g.RATE0, g.KORR);
  writeResultRow(report, ds.xray->energy, ds.xray->RATE0, ds.xray->KORR);
  // Energy, count without summing and factor, right-aligned to columns 35, 54 and 73.
  EXPECT_EQ(report.contents(),
            "                             40.000             0.0000             0.0000\r\n"
            "                             25.000             1.5000             1.2500\r\n"
            "                              6.400             0.7000             2.3333\r\n");
}

TEST(Correct, TwoStepCascadeLosesByTheOtherLinesTotalEfficiency) {
  // 3 -> 2 -> 1, only level 3 fed, no conversion: a line loses its count whenever the other photon
  // is detected at all, so its factor is 1 / (1 - total efficiency at the other line's energy).
  Store s = scheme({0.0f, 0.0f, 100.0f}, {{3, 2, 20.0f, 100.0f}, {2, 1, 40.0f, 100.0f}});
  std::vector<TransitionResult> rows;
  TRANSITIONS(s, rows);
  CASCADE(s);
  LINERATES(s);
  EXPECT_NEAR(s.RATE0(3, 2) / s.RATE(3, 2), 1.0 / (1.0 - 0.4), 1e-5);
  EXPECT_NEAR(s.RATE0(2, 1) / s.RATE(2, 1), 1.0 / (1.0 - 0.2), 1e-5);
}

}  // namespace tcsum::test
