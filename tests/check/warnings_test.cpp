// What the checks say about efficiency tables that give no sound factor, and
// how the terminal shows many small balance findings.
#include "check/warnings.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "driver/run.hpp"

namespace tcsum {
namespace {

// Co-60 in short: two gammas in cascade, K conversion on both.
const std::string kCobalt =
    "CO-60     B-             7.5       0.4\n"
    "       0.0       0.0\n"
    "  1332.508       0.0\n"
    "  2505.748     100.0\n"
    "       0.0\n"
    " 2 1        1332.492     99.98 0.0001625 0.0001137\n"
    " 3 2        1173.228     99.85 0.0001722   0.00015\n"
    "33 1\n"
    "E\n";

// Every warning of a run of TABLE (an efficiency block) with kCobalt.
std::vector<std::string> warningsOf(const std::string& table) {
  auto store = std::make_unique<Store>();
  std::istringstream data(table + kCobalt);
  std::vector<std::string> out;
  RunOutputs outputs;
  outputs.detector = [&out](const DetectorResult& d) {
    for (const Warning& w : d.warnings)
      out.push_back(formatWarning(w));
  };
  outputs.dataSet = [&out](const DataSetResult& ds, const PreparedTexts&) {
    for (const Warning& w : ds.warnings)
      out.push_back(formatWarning(w));
  };
  run(*store, data, outputs, [] { return CalendarDate{1, 1, 2026}; });
  return out;
}

// How many of WARNINGS hold every one of PARTS.
int count(const std::vector<std::string>& warnings, std::vector<std::string> parts) {
  int n = 0;
  for (const std::string& w : warnings) {
    bool all = true;
    for (const std::string& p : parts)
      all = all && w.find(p) != std::string::npos;
    n += all;
  }
  return n;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines)
    out += l + '\n';
  return out;
}

TEST(EfficiencyWarnings, OnePointTableGivesNoNumberAndSaysSo) {
  const auto w = warningsOf(
      "     100.0     200.0     150.0          14        ONE POINT\n"
      "     100.0     200.0     150.0          0\n");
  EXPECT_EQ(count(w, {"record 3: K x-rays at E(X) 7.5 keV", "no number (the table has 1 point)"}),
            1)
      << joined(w);
  EXPECT_EQ(count(w, {"record 3: K x-ray line at 7.5 keV", "no number"}), 1) << joined(w);
  // Each line whose factor is no number is named with its values.
  EXPECT_EQ(count(w, {"record 8: gamma line 2 -> 1 at 1332.492 keV", "nan: no number"}), 1)
      << joined(w);
  EXPECT_EQ(count(w, {"record 9: gamma line 3 -> 2 at 1173.228 keV", "nan: no number"}), 1)
      << joined(w);
}

TEST(EfficiencyWarnings, SparseTablesThatOvershootOrFallToZero) {
  // Three points far apart: the quadratic rises to 0.8 between them.
  const auto three = warningsOf(
      "      50.0      50.0      45.0          14        THREE\n"
      "     400.0     400.0     150.0          1\n"
      "    3000.0      50.0      10.0          1\n"
      "    3000.0      50.0      10.0          0\n");
  EXPECT_EQ(count(three, {"transition 2 -> 1 at 1332.492 keV: the total efficiency interpolated",
                          "times the largest of the table (0.4)"}),
            1)
      << joined(three);
  // Four points: the quadratic falls below 0 between them, and is cut to 0.
  const auto four = warningsOf(
      "      40.0     100.0      90.0          14        FOUR\n"
      "     100.0     400.0     300.0          1\n"
      "     300.0     300.0     150.0          1\n"
      "    3000.0      60.0      10.0          1\n"
      "    3000.0      60.0      10.0          0\n");
  EXPECT_EQ(count(four, {"transition 2 -> 1",
                         "total efficiency interpolated from the table comes "
                         "out 0 or below (used 0)"}),
            1)
      << joined(four);
  // Below the table: extrapolated to 0 or below, "used 0" said for E(X).
  EXPECT_EQ(count(four, {"K x-rays at E(X) 7.5 keV",
                         "extrapolated from the table comes out 0 or "
                         "below (used 0)",
                         "extend the table"}),
            1)
      << joined(four);
}

TEST(EfficiencyWarnings, ZeroPeakInsideTheTableIsNamedAtEachLine) {
  const auto w = warningsOf(
      "      20.0     100.0      90.0          14        ZERO\n"
      "     100.0     400.0     300.0          1\n"
      "     300.0     300.0     150.0          1\n"
      "     600.0     250.0       0.0          1\n"
      "    1000.0     200.0      50.0          1\n"
      "    2000.0     150.0      25.0          1\n"
      "    3000.0     120.0      15.0          1\n"
      "    3000.0     120.0      15.0          0\n");
  EXPECT_EQ(
      count(w, {"full-energy-peak efficiency interpolated from the table is", "check the table"}),
      2)
      << joined(w);
  EXPECT_EQ(count(w, {"gamma line", "no number"}), 2) << joined(w);
}

TEST(EfficiencyWarnings, SoundTableWarnsNothing) {
  const auto w = warningsOf(
      "       5.0     39.87     39.08          14        N-COAX\n"
      "      50.0     240.6     234.6          1\n"
      "     100.0     241.5     234.0          1\n"
      "     200.0     238.5     188.9          1\n"
      "     400.0     223.2     111.6          1\n"
      "    1000.0     194.6     51.81          1\n"
      "    2000.0     168.1      28.5          1\n"
      "    4000.0     143.9     15.97          0\n");
  EXPECT_TRUE(w.empty()) << joined(w);
}

TEST(EfficiencyWarnings, CountsAndFactorsThatAreNoSoundNumber) {
  DataSetResult ds;
  ds.DSNAME = {'X', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  ds.transitions.push_back({2, 1, 100.0f, 50.0f, 0, 0, 0.1f, 0.05f, 1.0f});
  ds.transitions.push_back({3, 1, 200.0f, 0.0f, 0, 0, 0.1f, 0.05f, 1.0f});
  ds.gammas.push_back({2, 1, 100.0f, 2.5f, -0.5f, -5.0f});  // negative
  ds.gammas.push_back({3, 1, 200.0f, 0.0f, 0.0f, 0.0f});    // not emitted: nothing to say
  ds.xray = XrayLine{7.5f, 0.0f, 0.0f, 0.0f, {}};           // emitted, count 0
  const std::vector<TransitionRecord> records = {{2, 1, 100.0f, 50.0f, 0, 0, 7},
                                                 {3, 1, 200.0f, 0.0f, 0, 0, 8},
                                                 {2, 1, 100.0f, 50.0f, 0, 0, 9}};
  std::vector<Warning> out;
  checkResults(ds, 3, records, out);
  ASSERT_EQ(out.size(), 2u);
  // The record that counts: the last one read for the transition.
  EXPECT_EQ(out[0].record, 9);
  EXPECT_NE(out[0].text.find("gamma line 2 -> 1 at 100 keV: count 2.5 per 100 decays without "
                             "coincidences, -0.5 with them, factor -5: negative"),
            std::string::npos)
      << out[0].text;
  EXPECT_EQ(out[1].record, 3);
  EXPECT_NE(out[1].text.find("K x-ray line at 7.5 keV: count 0"), std::string::npos);
  EXPECT_NE(out[1].text.find("0 for a line that is emitted"), std::string::npos);
}

TEST(TerminalLines, SmallBalanceFindingsMakeOneLine) {
  std::vector<Warning> warnings;
  warnings.push_back({"data set \"A\"", 5, "level 2 is populated with 80.00 % and ...", false});
  for (int level = 3; level <= 15; ++level)
    warnings.push_back({"data set \"A\"", 3 + level,
                        "level " + std::to_string(level) + " is populated with 0.01 % ...", true});
  warnings.push_back({"data set \"A\"", 30, "transition 4 -> 1 ...", false});
  const auto lines = terminalLines(warnings);
  ASSERT_EQ(lines.size(), 3u) << joined(lines);
  EXPECT_EQ(lines[0], formatWarning(warnings[0]));
  EXPECT_EQ(lines[1],
            "warning: data set \"A\", record 6: 13 levels are populated and depopulated within "
            "0.10 % of decays of each other, too little to change a factor (levels 3, 4, 5, 6, 7, "
            "8, 9, 10, 11, 12 ... and 3 more; each is listed in the report and in the JSON and "
            "HTML outputs)");
  EXPECT_EQ(lines[2], formatWarning(warnings.back()));
  // One finding alone is said in the singular.
  const auto one = terminalLines({warnings[1]});
  ASSERT_EQ(one.size(), 1u);
  EXPECT_NE(one[0].find("1 level is populated"), std::string::npos) << one[0];
  EXPECT_NE(one[0].find("(level 3;"), std::string::npos) << one[0];
}

TEST(TerminalLines, ListsAreCapped) {
  EXPECT_EQ(cappedList({}, 3), "");
  EXPECT_EQ(cappedList({"a", "b", "c"}, 3), "a, b, c");
  EXPECT_EQ(cappedList({"a", "b", "c", "d", "e"}, 3), "a, b, c ... and 2 more");
}

}  // namespace
}  // namespace tcsum
