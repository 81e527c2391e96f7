#include <gtest/gtest.h>

#include <string>

#include "decay/decay.hpp"
#include "report/report.hpp"
#include "support/scheme.hpp"

namespace tcsum::test {

TEST(Balance, LevelsOffByTenPercentUnderOneHeadingPerDataSet) {
  // Level 2: in 95, out 105, 2 |95 - 105| / 200 rounds to the float 0.1: listed. Level 3: in 10,
  // out 10. Level 4, the top, has no flow: 0 / 0 is listed. Row 5 lies above NLEV = 4.
  const Store s = scheme({0.0f, 95.0f, 10.0f, 0.0f},
                         {{2, 1, 20.0f, 105.0f}, {3, 1, 20.0f, 10.0f}, {5, 4, 20.0f, 500.0f}});
  DataSetResult ds;
  BALANCE(s, ds.balance);
  Report report;
  writeBalance(report, ds);
  writeBalance(report, ds);  // the next data set starts with its own heading
  const std::string once =
      "\r\n     WARNUNG!    Zerfallsdaten inkonsistent.\r\n\r\n"
      "          Niveau  2 wird mit  95.00 % bev\x94lkert und mit 105.00 % entv\x94lkert\r\n"
      "          Niveau  4 wird mit   0.00 % bev\x94lkert und mit   0.00 % entv\x94lkert\r\n"
      "\r\n\r\n";
  EXPECT_EQ(report.contents(), once + once);
}

}  // namespace tcsum::test
