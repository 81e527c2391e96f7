#include "efficiency/loglog_table.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace tcsum::efficiency {
namespace {

LogLogTable table() {
  return LogLogTable({{100.0, 0.4, 0.2, 0}, {200.0, 0.3, 0.1, 0}, {1000.0, 0.2, 0.02, 0}}, "t.csv");
}

TEST(LogLogTable, PassesThroughItsPointsAndIsLinearInLogLog) {
  const LogLogTable t = table();
  EXPECT_DOUBLE_EQ(t.at(100.0).total, 0.4);
  EXPECT_DOUBLE_EQ(t.at(200.0).peak, 0.1);
  EXPECT_DOUBLE_EQ(t.at(1000.0).peak, 0.02);
  // The geometric mean of the energies gives the geometric mean of the efficiencies.
  EXPECT_NEAR(t.at(std::sqrt(100.0 * 200.0)).total, std::sqrt(0.4 * 0.3), 1e-15);
  EXPECT_NEAR(t.at(std::sqrt(200.0 * 1000.0)).peak, std::sqrt(0.1 * 0.02), 1e-15);
}

TEST(LogLogTable, IsMonotoneBetweenPointsAndContinuesTheEndIntervals) {
  const LogLogTable t = table();
  double previous = t.at(100.0).peak;
  for (double e = 101.0; e <= 1000.0; e += 1.0) {
    const double peak = t.at(e).peak;
    EXPECT_LE(peak, previous) << e;
    previous = peak;
  }
  // Below the table: the line through the first two points (slope ln(1/2)/ln 2 = -1 for the peak).
  EXPECT_NEAR(t.at(50.0).peak, 0.4, 1e-14);
  // Above it: the line through the last two (peak slope ln(0.2)/ln(5) = -1).
  EXPECT_NEAR(t.at(2000.0).peak, 0.01, 1e-15);
  // The total continued below 100 keV would pass 1 near 2 keV: bounded, and the peak to the total.
  EXPECT_EQ(t.at(0.5).total, 1.0);
  EXPECT_EQ(t.at(0.5).peak, 1.0);
  EXPECT_EQ(t.at(0.0).total, 0.0);
  const std::vector<double> energies{50.0, 100.0, 600.0, 1000.0, 1000.5};
  EXPECT_EQ(t.outsideTable(energies), (std::vector<double>{50.0, 1000.5}));
}

TEST(LogLogTable, ScalesEachPointOnItsOwn) {
  const LogLogTable t = table();
  const std::vector<double> total{1.0, 0.5, 1.0}, peak{1.0, 1.0, 2.0};
  const auto s = t.scaled(total, peak);
  EXPECT_EQ(s->points(), 3u);
  EXPECT_DOUBLE_EQ(s->at(200.0).total, 0.15);
  EXPECT_DOUBLE_EQ(s->at(1000.0).peak, 0.04);
  EXPECT_DOUBLE_EQ(s->at(100.0).total, 0.4);
  EXPECT_EQ(t.describe(),
            "efficiency table t.csv (3 points, 100 to 1000 keV), interpolated linearly in log-log "
            "space");
}

}  // namespace
}  // namespace tcsum::efficiency
