// The classic factors beside the complete model's: the scheme carried into a
// data set and back, on a two-step cascade whose factors are known.
#include "driver/factors.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "efficiency/loglog_table.hpp"

namespace tcsum {
namespace {

// 1000 keV feeds 100 % of decays to the level at 1100 keV, which decays by
// 1000 keV to the level at 100 keV, which decays by 100 keV: without
// conversion the classic factors are 1/(1 - eps_t) of the other gamma.
DecayScheme cascade() {
  DecayScheme s;
  s.name = "TEST";
  s.decayMode = "B-";
  s.levels = {{0.0, 0.0, 0.0, std::nullopt, 0.0, std::numeric_limits<double>::infinity(), 0},
              {100.0, 0.0, 0.0, std::nullopt, 0.0, std::nullopt, 0},
              {1100.0, 100.0, 0.0, std::nullopt, 0.0, std::nullopt, 0}};
  s.transitions = {{2, 1, 1000.0, 100.0, 0.0, 0.0, std::nullopt, 0},
                   {1, 0, 100.0, 100.0, 0.0, 0.0, std::nullopt, 0}};
  return s;
}

complete::Result lines() {
  complete::Result r;
  r.photons = {{LineKind::gamma, "", 1, 0, 100.0, 100.0, {}}, {LineKind::gamma, "", 2, 1, 1000.0, 100.0, {}}};
  r.lines = {{LineKind::gamma, "", 1, 0, 100.0, 100.0, 0, 0, 1},
             {LineKind::gamma, "", 2, 1, 1000.0, 100.0, 0, 0, 1},
             {LineKind::sum, "", -1, -1, 1100.0, 0.0, 0, 0, 0}};
  return r;
}

TEST(ClassicBeside, CarriesTheSchemeIntoTheClassicRunAndBack) {
  const efficiency::LogLogTable table(
      {{50.0, 0.45, 0.3, 0}, {100.0, 0.4, 0.25, 0}, {300.0, 0.25, 0.1, 0}, {1000.0, 0.1, 0.03, 0},
       {2000.0, 0.08, 0.02, 0}},
      "t.csv");
  std::string note;
  const auto factors = classicBeside(cascade(), table, lines(), note);
  ASSERT_EQ(factors.size(), 3u) << note;
  ASSERT_TRUE(factors[0] && factors[1]);
  EXPECT_NEAR(*factors[0], 1.0 / (1.0 - 0.1), 1e-3);  // the 100 keV line loses to 1000 keV
  EXPECT_NEAR(*factors[1], 1.0 / (1.0 - 0.4), 1e-3);
  EXPECT_FALSE(factors[2]);  // no sum peaks in the classic model
  EXPECT_EQ(note, "");
}

TEST(ClassicBeside, SaysWhyASchemeDoesNotFit) {
  const efficiency::LogLogTable table({{50.0, 0.45, 0.3, 0}, {2000.0, 0.08, 0.02, 0}}, "t.csv");
  DecayScheme twice = cascade();
  twice.transitions.push_back({2, 1, 1000.5, 1.0, 0.0, 0.0, std::nullopt, 0});
  std::string note;
  EXPECT_TRUE(classicBeside(twice, table, lines(), note).empty());
  EXPECT_EQ(note, "two transitions between the levels at 1100 and 100 keV, which a data set cannot hold");
  DecayScheme large = cascade();
  for (int k = 0; k < 40; ++k) large.levels.push_back({2000.0 + k, 0.0, 0.0, std::nullopt, 0.0, std::nullopt, 0});
  EXPECT_TRUE(classicBeside(large, table, lines(), note).empty());
  EXPECT_EQ(note, "43 levels, more than the 32 of a data set");
}

}  // namespace
}  // namespace tcsum
