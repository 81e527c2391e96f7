#include "ensdf/build_scheme.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/ensdf.hpp"

namespace tcsum::ensdf {
namespace {

using test::ensdfRecord;

std::string rec(std::string_view nucid, std::string_view type,
                std::initializer_list<test::Placed> fields) {
  std::string r = ensdfRecord(fields);
  r.replace(0, nucid.size(), nucid);
  r.replace(5, type.size(), type);
  return r;
}

// Electron capture with a positron branch onto a long-lived level that has two
// gammas to the ground state, then a short-lived and a level of unknown T1/2.
std::string captureDecay() {
  return ensdfRecord({{1, " 57FE"}, {10, "57CO EC DECAY"}}) +
         rec(" 57CO", "  P", {{10, "0.0"}, {40, "271.74 D"}}) +
         rec(" 57FE", "  N", {{10, "2.0"}, {42, "1.0"}}) +
         rec(" 57FE", "  L", {{10, "0.0"}, {40, "STABLE"}}) +
         rec(" 57FE", "  L", {{10, "136.47"}, {40, "8.7 NS"}}) +
         rec(" 57FE", "  E", {{22, "3"}, {32, "7"}}) +
         rec(" 57FE", "S E", {{10, "CK=0.88$CL=0.10"}}) +
         rec(" 57FE", "  G", {{10, "136.47"}, {22, "5"}}) +
         rec(" 57FE", "S G", {{10, "CC=0.15$KC=0.13$LC=0.015"}}) +
         rec(" 57FE", "  G", {{10, "136.1"}, {22, "1"}}) +
         rec(" 57FE", "  L", {{10, "200.0"}}) + rec(" 57FE", "  E", {{32, "90"}}) +
         rec(" 57FE", "  G", {{10, "63.53"}, {22, "40"}});
}

TEST(Scheme, KeepsEveryPlacedGammaWithItsOwnEnergyAndTheLevelData) {
  const auto sets = readDataSets(captureDecay(), "t.ens");
  ASSERT_EQ(sets.size(), 1u);
  const SchemeBuild b = buildScheme(sets[0], Settings{});
  ASSERT_EQ(b.refusal, RefusalKind::None) << b.reason;
  const DecayScheme& s = b.scheme;
  EXPECT_EQ(s.name, "CO-57");
  EXPECT_EQ(s.decayMode, "EC");
  EXPECT_TRUE(s.electronCapture);
  EXPECT_EQ(s.daughterZ, 26);
  ASSERT_EQ(s.levels.size(), 3u);
  EXPECT_TRUE(s.levels[0].halfLife && std::isinf(*s.levels[0].halfLife));
  ASSERT_TRUE(s.levels[1].halfLife);
  EXPECT_DOUBLE_EQ(*s.levels[1].halfLife, 8.7e-9);
  EXPECT_FALSE(s.levels[2].halfLife);
  EXPECT_DOUBLE_EQ(s.levels[1].feeding, 10.0);  // (IB + IE) x NB x BR
  EXPECT_DOUBLE_EQ(s.levels[1].betaPlus, 3.0);  // IB x NB x BR
  EXPECT_DOUBLE_EQ(s.levels[1].kCaptureFraction, 0.88);
  ASSERT_TRUE(s.levels[1].lCaptureFraction);
  EXPECT_DOUBLE_EQ(*s.levels[1].lCaptureFraction, 0.10);
  // Two gammas between the same levels stay two transitions.
  ASSERT_EQ(s.transitions.size(), 3u);
  EXPECT_DOUBLE_EQ(s.transitions[0].energy, 136.47);
  EXPECT_DOUBLE_EQ(s.transitions[0].gamma, 10.0);  // RI x NR x BR
  EXPECT_DOUBLE_EQ(s.transitions[0].alpha, 0.15);
  EXPECT_DOUBLE_EQ(s.transitions[0].alphaK, 0.13);
  ASSERT_TRUE(s.transitions[0].alphaL);
  EXPECT_DOUBLE_EQ(*s.transitions[0].alphaL, 0.015);
  EXPECT_DOUBLE_EQ(s.transitions[1].energy, 136.1);
  EXPECT_FALSE(s.transitions[1].alphaL);
  EXPECT_EQ(s.transitions[2].upper, 2);
  EXPECT_EQ(s.transitions[2].lower, 1);
  // Missing coefficients are named without saying what a data file gets:
  // the complete model writes nothing.
  const auto missing = std::find_if(b.warnings.begin(), b.warnings.end(), [](const Warning& w) {
    return w.kind == WarningKind::NoConversion;
  });
  ASSERT_NE(missing, b.warnings.end());
  EXPECT_EQ(missing->text,
            "no conversion coefficient given: ALPHA for 136.1, 63.53; ALPHAK for 136.1, 63.53 keV");
}

TEST(Scheme, RefusalKeepsItsReason) {
  const std::string text = ensdfRecord({{1, " 60NI"}, {10, "60CO SF DECAY"}}) +
                           rec(" 60NI", "  L", {{10, "0.0"}});
  const auto sets = readDataSets(text, "t.ens");
  ASSERT_EQ(sets.size(), 1u);
  const SchemeBuild b = buildScheme(sets[0], Settings{});
  EXPECT_EQ(b.refusal, RefusalKind::DecayMode);
  EXPECT_NE(b.reason.find("SF"), std::string::npos);
}

}  // namespace
}  // namespace tcsum::ensdf
