#include "ensdf/convert.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "ensdf/build_scheme.hpp"
#include "support/ensdf.hpp"

namespace tcsum::ensdf {
namespace {

using test::ensdfRecord;

std::string id(std::string_view nucid, std::string_view dsid) {
  return ensdfRecord({{1, nucid}, {10, dsid}});
}
std::string rec(std::string_view nucid, std::string_view type,
                std::initializer_list<test::Placed> fields) {
  std::string r = ensdfRecord(fields);
  r.replace(0, nucid.size(), nucid);
  r.replace(5, type.size(), type);  // columns 6-8 (continuation mark, blank, type)
  return r;
}

Conversion convertOne(const std::string& text, Settings settings = {}) {
  const auto sets = readDataSets(text, "t.ens");
  EXPECT_EQ(sets.size(), 1u);
  return convert(sets.at(0), settings);
}

int countKind(const Conversion& c, WarningKind kind) {
  return static_cast<int>(std::count_if(c.warnings.begin(), c.warnings.end(),
                                        [&](const Warning& w) { return w.kind == kind; }));
}

// A two-level beta-minus decay with the given N record fields and gamma RI.
std::string betaMinus(std::initializer_list<test::Placed> norm, std::string_view ri = "50") {
  return id(" 60NI", "60CO B- DECAY") + rec(" 60CO", "  P", {{10, "0.0"}, {40, "5.27 Y"}}) +
         rec(" 60NI", "  N", norm) + rec(" 60NI", "  L", {{10, "0.0"}}) +
         rec(" 60NI", "  B", {{22, "10"}}) + rec(" 60NI", "  L", {{10, "1332.508"}}) +
         rec(" 60NI", "  B", {{22, "90"}}) + rec(" 60NI", "  G", {{10, "1332.492"}, {22, ri}}) +
         rec(" 60NI", "S G", {{10, "CC=0.0001625 23$KC=0.0001137 16"}});
}

TEST(Normalisation, IntensitiesAndFeedingsInPercentOfParentDecays) {
  Conversion c = convertOne(betaMinus({{10, "2.0"}, {32, "0.5"}, {42, "0.8"}}));
  ASSERT_EQ(c.sets.size(), 1u);
  const OutSet& s = c.sets[0];
  EXPECT_EQ(s.name, "CO-60");
  EXPECT_EQ(s.mode, "B-");
  EXPECT_FLOAT_EQ(s.transitions.at(0).intensity, 50.0f);  // RI x NR x BR
  EXPECT_FLOAT_EQ(s.levels.at(1).feed, 36.0f);            // IB x NB x BR
  EXPECT_FLOAT_EQ(s.transitions[0].alpha, 0.0001625f);
  EXPECT_FLOAT_EQ(s.transitions[0].alphak, 0.0001137f);

  // A blank NB or BR counts as 1.
  c = convertOne(betaMinus({{10, "1.0"}}));
  EXPECT_FLOAT_EQ(c.sets.at(0).levels.at(1).feed, 90.0f);

  // The PN products replace those of the N record.
  std::string text = betaMinus({{10, "5555.56"}, {32, "0.00018"}});
  text += rec(" 60NI", " PN", {{10, "1.0"}, {42, "2.0"}});
  c = convertOne(text);
  EXPECT_FLOAT_EQ(c.sets.at(0).transitions.at(0).intensity, 50.0f);
  EXPECT_FLOAT_EQ(c.sets.at(0).levels.at(1).feed, 180.0f);
}

TEST(Normalisation, DataSetsWithoutItAreRefused) {
  std::string noN = betaMinus({{10, "1.0"}});
  noN.erase(noN.find(" 60NI  N"), 81);
  Conversion c = convertOne(noN);
  EXPECT_EQ(c.refusal, RefusalKind::Normalisation);
  EXPECT_TRUE(c.sets.empty());
  c = convertOne(betaMinus({{32, "1.0"}}));  // blank NR, relative RI
  EXPECT_EQ(c.refusal, RefusalKind::Normalisation);
  EXPECT_NE(c.reason.find("NR"), std::string::npos);
}

TEST(Normalisation, ValuesTheRunCannotUseAreRefusedByName) {
  // NR 0: every line would have intensity 0 and nothing would be counted.
  Conversion c = convertOne(betaMinus({{10, "0"}, {32, "1.0"}}));
  EXPECT_EQ(c.refusal, RefusalKind::Value);
  EXPECT_NE(c.reason.find("every gamma intensity is 0"), std::string::npos) << c.reason;
  // CC -1 divides by zero in the run.
  std::string text = betaMinus({{10, "1.0"}});
  text.replace(text.find("CC=0.0001625 23"), 15, "CC=-1          ");
  c = convertOne(text);
  EXPECT_EQ(c.refusal, RefusalKind::Value);
  EXPECT_NE(c.reason.find("ALPHA (CC) -1 of the 1332.49 keV gamma is negative"), std::string::npos)
      << c.reason;
  // A negative feeding.
  text = betaMinus({{10, "1.0"}});
  const std::size_t feed = text.find("90", text.find(" 60NI  B", text.find("1332.508")));
  text.replace(feed, 3, "-90");
  c = convertOne(text);
  EXPECT_EQ(c.refusal, RefusalKind::Value);
  EXPECT_NE(c.reason.find("feeding -90 % of the 1332.51 keV level"), std::string::npos) << c.reason;
}

TEST(DecayModes, CaptureBetaPlusAlphaAndRefused) {
  const std::string ec = id(" 22NE", "22NA B+ DECAY") + rec(" 22NA", "  P", {{10, "0.0"}}) +
                         rec(" 22NE", "  N", {{10, "1.0"}, {32, "1.0"}, {42, "1.0"}}) +
                         rec(" 22NE", "  L", {{10, "0.0"}}) +
                         rec(" 22NE", "  L", {{10, "1274.537"}}) +
                         rec(" 22NE", "  E", {{22, "90.3"}, {32, "9.6"}}) +
                         rec(" 22NE", "S E", {{10, "CK=0.0920 3"}}) +
                         rec(" 22NE", "  G", {{10, "1274.537"}, {22, "99.94"}, {56, "6.8E-6"}}) +
                         rec(" 22NE", "  L", {{10, "2000"}}) + rec(" 22NE", "  E", {{65, "0.05"}}) +
                         rec(" 22NE", "  G", {{10, "725.5"}, {22, "0.04"}, {56, "0.0004"}}) +
                         rec(" 22NE", "S G", {{10, "KC=0.0003"}});
  // Positrons in 90 % of decays: refused, naming the share and the way out.
  Conversion c = convertOne(ec);
  EXPECT_EQ(c.refusal, RefusalKind::BetaPlus);
  EXPECT_NE(c.reason.find("positrons in 90.3 % of decays"), std::string::npos) << c.reason;
  EXPECT_NE(c.reason.find("tcsum factors"), std::string::npos) << c.reason;
  EXPECT_EQ(countKind(c, WarningKind::BetaPlus), 0);  // the refusal says it
  Settings allowed;
  allowed.allowBetaPlus = true;
  c = convertOne(ec, allowed);
  ASSERT_EQ(c.sets.size(), 1u);
  EXPECT_EQ(c.sets[0].mode, "EC");
  EXPECT_TRUE(c.sets[0].capture);
  EXPECT_FLOAT_EQ(c.sets[0].levels.at(1).feed, 99.9f);  // IB + IE
  EXPECT_FLOAT_EQ(c.sets[0].levels.at(1).pk, 0.092f);   // CK as it stands
  EXPECT_FLOAT_EQ(c.sets[0].levels.at(2).feed, 0.05f);  // TI alone
  EXPECT_FLOAT_EQ(c.sets[0].levels.at(2).pk, 0.092f);  // no CK: the nearest level's, with a warning
  EXPECT_EQ(countKind(c, WarningKind::NoCaptureShare), 1);
  EXPECT_EQ(countKind(c, WarningKind::BetaPlus), 1);
  EXPECT_EQ(countKind(c, WarningKind::NoConversion), 1);  // one warning for the missing ALPHAK

  // 1 % or less is written, with the warning.
  std::string few = ec;
  few.replace(few.find("90.3"), 4, " 0.9");
  few.replace(few.find(" 9.6"), 4, "99.0");
  c = convertOne(few);
  ASSERT_EQ(c.refusal, RefusalKind::None) << c.reason;
  EXPECT_EQ(countKind(c, WarningKind::BetaPlus), 1);

  const std::string alpha = id("237NP", "241AM A DECAY") + rec("241AM", "  P", {{10, "0.0"}}) +
                            rec("237NP", "  N", {{10, "1.0"}, {32, "0.5"}, {42, "3.0"}}) +
                            rec("237NP", "  L", {{10, "0.0"}}) +
                            rec("237NP", "  A", {{22, "84.8"}});
  c = convertOne(alpha);
  EXPECT_FLOAT_EQ(c.sets.at(0).levels.at(0).feed, 42.4f);  // IA x BR, NB not applied

  c = convertOne(id("252CF", "252CF SF DECAY") + rec("252CF", "  N", {{10, "1.0"}}) +
                 rec("252CF", "  L", {{10, "0.0"}}));
  EXPECT_EQ(c.refusal, RefusalKind::DecayMode);
  EXPECT_NE(c.reason.find("SF"), std::string::npos);
}

TEST(Placement, FinalLevelByFlOrNearestWithinTolerance) {
  const std::string text =
      id("152SM", "152EU EC DECAY") + rec("152EU", "  P", {{10, "0.0"}}) +
      rec("152SM", "  N", {{10, "1.0"}, {32, "1.0"}, {42, "1.0"}}) +
      rec("152SM", "  L", {{10, "0.0"}}) + rec("152SM", "  L", {{10, "121.7817"}}) +
      rec("152SM", "  G", {{10, "121.7817"}, {22, "30"}}) +
      rec("152SM", "  L", {{10, "366.4795"}}) + rec("152SM", "  G", {{10, "244.6974"}, {22, "7"}}) +
      rec("152SM", "  L", {{10, "600.0"}}) +
      rec("152SM", "  G", {{10, "600.5"}, {22, "5.0"}}) +  // FL= overrides the ground state
      rec("152SM", "2 G", {{10, "FL=121.78"}}) + rec("152SM", "  L", {{10, "1085.8"}}) +
      rec("152SM", "  E", {{32, "100"}}) + rec("152SM", "S E", {{10, "CK=0.83"}}) +
      rec("152SM", "  G", {{10, "719.3"}, {22, "1.0"}}) +   // 1085.8 - 719.3 = 366.5: level 3
      rec("152SM", "  G", {{10, "963.1"}, {22, "2.0"}}) +   // 122.7: within 1 keV of level 2
      rec("152SM", "  G", {{10, "1080.0"}, {22, "3.0"}}) +  // 5.8: no level
      rec("152SM", "  G", {{10, "1082.0"}, {20, "30"}, {22, "4.0"}}) +  // 2 x 3.0 keV: ground
      rec("152SM", "  G", {{10, "500.0"}, {80, "S"}});                  // no intensity
  const Conversion c = convertOne(text);
  ASSERT_EQ(c.sets.size(), 1u);
  const auto& t = c.sets[0].transitions;
  ASSERT_EQ(t.size(), 6u);
  EXPECT_EQ(t[2].lower, 2);
  EXPECT_FLOAT_EQ(t[2].energy, 600.5f);  // the gamma's energy, not the level difference
  EXPECT_EQ(t[3].lower, 3);
  EXPECT_EQ(t[4].lower, 2);
  EXPECT_EQ(t[5].lower, 1);
  ASSERT_EQ(countKind(c, WarningKind::SkippedGammas), 1);
  const auto skipped = std::find_if(c.warnings.begin(), c.warnings.end(), [](const Warning& w) {
    return w.kind == WarningKind::SkippedGammas;
  });
  EXPECT_NE(skipped->text.find("2 gammas"), std::string::npos) << skipped->text;
  EXPECT_NE(skipped->text.find("intensity 3 %"), std::string::npos) << skipped->text;
}

TEST(Placement, MultiplyPlacedGammasLimitsAndConversionFallbacks) {
  const std::string text =
      id("139LA", "139CE EC DECAY") + rec("139CE", "  P", {{10, "0.0"}}) +
      rec("139LA", "  N", {{10, "1.0"}, {32, "1.0"}, {42, "1.0"}}) +
      rec("139LA", "  L", {{10, "0.0"}}) + rec("139LA", "  L", {{10, "165.86"}}) +
      rec("139LA", "  G", {{10, "165.86"}, {22, "80"}}) +
      rec("139LA", "S G", {{10, "ECC=0.2516$EKC=0.2146"}}) + rec("139LA", "  L", {{10, "300.0"}}) +
      rec("139LA", "  G", {{10, "134.1"}, {22, "6.0"}, {56, "0.5"}, {77, "&"}}) +
      rec("139LA", "S G", {{10, "K/T=0.4"}}) +
      rec("139LA", "  G", {{10, "300.0"}, {22, "0.2"}, {30, "LT"}, {77, "@"}}) +
      rec("139LA", "  L", {{10, "434.1"}}) +
      rec("139LA", "  G", {{10, "134.1"}, {22, "6.0"}, {56, "0.5"}, {77, "&"}}) +
      rec("139LA", "  G", {{10, "268.2"}, {22, "1.0"}});
  const Conversion c = convertOne(text);
  ASSERT_EQ(c.sets.size(), 1u);
  const auto& t = c.sets[0].transitions;
  ASSERT_EQ(t.size(), 5u);
  EXPECT_FLOAT_EQ(t[0].alpha, 0.2516f);  // experimental ECC and EKC
  EXPECT_FLOAT_EQ(t[0].alphak, 0.2146f);
  EXPECT_FLOAT_EQ(t[1].intensity, 3.0f);  // undivided: shared between two placements
  EXPECT_FLOAT_EQ(t[1].alphak, 0.6f);     // K/T x (1 + ALPHA)
  EXPECT_FLOAT_EQ(t[2].intensity, 0.2f);  // a limit taken as given
  EXPECT_FLOAT_EQ(t[3].intensity, 3.0f);
  EXPECT_FLOAT_EQ(t[4].alpha, 0.0f);
  EXPECT_EQ(countKind(c, WarningKind::SharedIntensity), 1);
  EXPECT_EQ(countKind(c, WarningKind::Limit), 1);
  EXPECT_EQ(countKind(c, WarningKind::NoConversion), 1);
}

TEST(Levels, OffsetLevelsAreDroppedAndTheRestSortedByEnergy) {
  const std::string text =
      id(" 99TC", "99MO B- DECAY") + rec(" 99MO", "  P", {{10, "0.0"}}) +
      rec(" 99TC", "  N", {{10, "1.0"}, {32, "1.0"}, {42, "1.0"}}) +
      rec(" 99TC", "  L", {{10, "0.0"}}) + rec(" 99TC", "  L", {{10, "181.1"}}) +
      rec(" 99TC", "  B", {{22, "50"}}) + rec(" 99TC", "  G", {{10, "181.1"}, {22, "6"}}) +
      rec(" 99TC", "  L", {{10, "140.5"}}) + rec(" 99TC", "  B", {{22, "50"}}) +
      rec(" 99TC", "  G", {{10, "140.5"}, {22, "89"}}) + rec(" 99TC", "  L", {{10, "0+X"}}) +
      rec(" 99TC", "  G", {{10, "40.6"}, {22, "1"}});
  const Conversion c = convertOne(text);
  ASSERT_EQ(c.sets.size(), 1u);
  ASSERT_EQ(c.sets[0].levels.size(), 3u);
  EXPECT_FLOAT_EQ(c.sets[0].levels[1].energy, 140.5f);
  EXPECT_EQ(c.sets[0].transitions.at(1).upper, 3);  // 181.1 keV is level 3
  EXPECT_EQ(countKind(c, WarningKind::OffsetLevels), 1);
}

// Cd-109: capture to the 88 keV isomer (39.8 s), which decays by one gamma.
std::string cd109() {
  return id("109AG", "109CD EC DECAY") + rec("109CD", "  P", {{10, "0.0"}, {40, "461.9 D"}}) +
         rec("109AG", "  N", {{10, "1.0"}, {32, "1.0"}, {42, "1.0"}}) +
         rec("109AG", "  L", {{10, "0.0"}, {40, "STABLE"}}) +
         rec("109AG", "  L", {{10, "88.0341"}, {40, "39.79 S"}}) +
         rec("109AG", "  E", {{32, "100"}}) + rec("109AG", "S E", {{10, "CK=0.8131 10"}}) +
         rec("109AG", "  G", {{10, "88.0336"}, {22, "3.644"}, {56, "26.3"}}) +
         rec("109AG", "S G", {{10, "KC=11.41 16"}});
}

TEST(Isomers, ACaptureIsomerSplitsTheDecayWithoutXraysInItsCascade) {
  Conversion c = convertOne(cd109());
  ASSERT_EQ(c.sets.size(), 2u);
  const OutSet& above = c.sets[0];  // parent down to the isomer: its capture x-rays only
  EXPECT_EQ(above.name, "CD-109");
  ASSERT_EQ(above.levels.size(), 1u);
  EXPECT_FLOAT_EQ(above.levels[0].energy, 88.0341f);
  EXPECT_FLOAT_EQ(above.levels[0].feed, 100.0f);
  EXPECT_FLOAT_EQ(above.levels[0].pk, 0.8131f);
  EXPECT_TRUE(above.transitions.empty());
  const OutSet& below = c.sets[1];  // the isomer's decay
  EXPECT_EQ(below.name, "AG-109M");
  ASSERT_EQ(below.levels.size(), 2u);
  EXPECT_FLOAT_EQ(below.levels[1].feed, 100.0f);
  EXPECT_FLOAT_EQ(below.levels[1].pk, 0.0f);
  ASSERT_EQ(below.transitions.size(), 1u);
  EXPECT_EQ(countKind(c, WarningKind::IsomerSplit), 1);

  Settings longer;
  longer.isomerThreshold = 60.0;  // the isomer is prompt for this threshold
  c = convertOne(cd109(), longer);
  ASSERT_EQ(c.sets.size(), 1u);
  EXPECT_FLOAT_EQ(c.sets[0].levels.at(1).pk, 0.8131f);
}

TEST(Isomers, ATransitionPassingOverAnIsomerKeepsItsLevelsAndItsCascade) {
  // 463.4 keV decays to the 144.78 keV isomer and, passing over it, to
  // 35.5 keV; the isomer decays through 109.3 keV to 35.5 keV.
  const std::string text =
      id("125TE", "125SB B- DECAY") + rec("125SB", "  P", {{10, "0.0"}}) +
      rec("125TE", "  N", {{10, "1.0"}, {32, "1.0"}, {42, "1.0"}}) +
      rec("125TE", "  L", {{10, "0.0"}}) + rec("125TE", "  L", {{10, "35.5"}}) +
      rec("125TE", "  B", {{22, "5"}}) + rec("125TE", "  G", {{10, "35.5"}, {22, "100"}}) +
      rec("125TE", "  L", {{10, "144.78"}, {40, "57.40 D"}}) + rec("125TE", "  B", {{22, "20"}}) +
      rec("125TE", "  G", {{10, "109.3"}, {22, "80"}}) + rec("125TE", "  L", {{10, "463.4"}}) +
      rec("125TE", "  B", {{22, "75"}}) + rec("125TE", "  G", {{10, "318.6"}, {22, "60"}}) +
      rec("125TE", "  G", {{10, "427.9"}, {22, "15"}});  // to 35.5 keV
  const Conversion c = convertOne(text);
  ASSERT_EQ(c.sets.size(), 3u);
  // Above the isomer, the cascades ending on the ground state: 463.4 keV with
  // the fifth of its feeding that goes that way, 427.9 and 35.5 keV after it.
  const OutSet& prompt = c.sets[0];
  EXPECT_EQ(prompt.name, "SB-125");
  ASSERT_EQ(prompt.levels.size(), 3u);
  EXPECT_FLOAT_EQ(prompt.levels[1].feed, 5.0f);  // fed where the level also decays promptly
  EXPECT_FLOAT_EQ(prompt.levels[2].feed, 15.0f);
  ASSERT_EQ(prompt.transitions.size(), 2u);
  EXPECT_FLOAT_EQ(prompt.transitions[0].energy, 35.5f);
  EXPECT_FLOAT_EQ(prompt.transitions[0].intensity, 20.0f);  // the 20 % not through the isomer
  EXPECT_FLOAT_EQ(prompt.transitions[1].energy, 427.9f);
  EXPECT_EQ(prompt.transitions[1].lower, 2);  // on its own level, not on the isomer
  EXPECT_FLOAT_EQ(prompt.transitions[1].intensity, 15.0f);
  // The cascades ending on the isomer: its level 1 is the isomer.
  const OutSet& toIsomer = c.sets[1];
  EXPECT_EQ(toIsomer.name, "SB-125/2");
  ASSERT_EQ(toIsomer.levels.size(), 2u);
  EXPECT_FLOAT_EQ(toIsomer.levels[0].energy, 144.78f);
  EXPECT_FLOAT_EQ(toIsomer.levels[0].feed, 20.0f);
  EXPECT_FLOAT_EQ(toIsomer.levels[1].feed, 60.0f);
  ASSERT_EQ(toIsomer.transitions.size(), 1u);
  EXPECT_FLOAT_EQ(toIsomer.transitions[0].energy, 318.6f);
  EXPECT_FLOAT_EQ(toIsomer.transitions[0].intensity, 60.0f);
  // The isomer's decay, fed with its population.
  const OutSet& below = c.sets[2];
  EXPECT_EQ(below.name, "TE-125M");
  ASSERT_EQ(below.levels.size(), 3u);
  EXPECT_FLOAT_EQ(below.levels[2].feed, 80.0f);
  EXPECT_FLOAT_EQ(below.levels[1].feed, 0.0f);
  ASSERT_EQ(below.transitions.size(), 2u);
  EXPECT_FLOAT_EQ(below.transitions[0].intensity, 80.0f);  // 35.5 keV: the other 80 %
  EXPECT_FLOAT_EQ(below.transitions[1].intensity, 80.0f);
  EXPECT_EQ(countKind(c, WarningKind::MergedGammas), 0);
  ASSERT_EQ(countKind(c, WarningKind::Bypass), 1);
  ASSERT_EQ(countKind(c, WarningKind::SeveralEnds), 1);
  const Warning& w = c.warnings.back();
  EXPECT_NE(w.text.find("144.78 keV level"), std::string::npos) << w.text;
  EXPECT_NE(w.text.find("more than one data set"), std::string::npos) << w.text;
  EXPECT_NE(w.text.find(": 35.5 keV"), std::string::npos) << w.text;
}

TEST(Isomers, ALevelWithoutTransitionsIsNoIsomerAndEndsItsCascades) {
  // The 144.78 keV level has no gamma with photon intensity here (its decay
  // is in another data set, or only converted): lines into it end there, and
  // 463.4 keV to the ground state stays what it is.
  const std::string text =
      id("125TE", "125SB B- DECAY") + rec("125SB", "  P", {{10, "0.0"}}) +
      rec("125TE", "  N", {{10, "1.0"}, {32, "1.0"}, {42, "1.0"}}) +
      rec("125TE", "  L", {{10, "0.0"}}) + rec("125TE", "  B", {{22, "10"}}) +
      rec("125TE", "  L", {{10, "144.78"}, {40, "57.40 D"}}) + rec("125TE", "  B", {{22, "20"}}) +
      rec("125TE", "  G", {{10, "144.78"}}) + rec("125TE", "  L", {{10, "463.4"}}) +
      rec("125TE", "  B", {{22, "70"}}) + rec("125TE", "  G", {{10, "318.6"}, {22, "60"}}) +
      rec("125TE", "  G", {{10, "463.4"}, {22, "10"}});
  const Conversion c = convertOne(text);
  EXPECT_EQ(countKind(c, WarningKind::IsomerSplit), 0);
  // One data set per end of the cascades, each line on its own levels.
  ASSERT_EQ(c.sets.size(), 2u);
  const OutSet& ground = c.sets[0];
  ASSERT_EQ(ground.levels.size(), 2u);
  EXPECT_FLOAT_EQ(ground.levels[0].feed, 10.0f);
  EXPECT_FLOAT_EQ(ground.levels[1].feed, 10.0f);  // the seventh of 70 % that ends here
  ASSERT_EQ(ground.transitions.size(), 1u);
  EXPECT_FLOAT_EQ(ground.transitions[0].energy, 463.4f);
  EXPECT_FLOAT_EQ(ground.transitions[0].intensity, 10.0f);
  const OutSet& deadEnd = c.sets[1];
  ASSERT_EQ(deadEnd.levels.size(), 2u);
  EXPECT_FLOAT_EQ(deadEnd.levels[0].energy, 144.78f);
  EXPECT_FLOAT_EQ(deadEnd.levels[0].feed, 20.0f);
  EXPECT_FLOAT_EQ(deadEnd.levels[1].feed, 60.0f);
  ASSERT_EQ(deadEnd.transitions.size(), 1u);
  EXPECT_FLOAT_EQ(deadEnd.transitions[0].intensity, 60.0f);
  EXPECT_EQ(countKind(c, WarningKind::SeveralEnds), 1);
}

TEST(Isomers, TwoGammasBetweenTheSameLevelsStayTwoLines) {
  // 300 keV decays by 200.0 and 200.4 keV to 100 keV and by 300 keV to the
  // ground state; 100 keV follows both 200 keV lines.
  const std::string text =
      id(" 99TC", "99MO B- DECAY") + rec(" 99MO", "  P", {{10, "0.0"}}) +
      rec(" 99TC", "  N", {{10, "1.0"}, {32, "1.0"}, {42, "1.0"}}) +
      rec(" 99TC", "  L", {{10, "0.0"}}) + rec(" 99TC", "  L", {{10, "100.0"}}) +
      rec(" 99TC", "  G", {{10, "100.0"}, {22, "70"}}) + rec(" 99TC", "  L", {{10, "300.0"}}) +
      rec(" 99TC", "  B", {{22, "100"}}) + rec(" 99TC", "  G", {{10, "200.0"}, {22, "50"}}) +
      rec(" 99TC", "  G", {{10, "300.0"}, {22, "30"}}) +
      rec(" 99TC", "  G", {{10, "200.4"}, {22, "20"}});
  const Conversion c = convertOne(text);
  ASSERT_EQ(c.sets.size(), 2u);
  EXPECT_EQ(countKind(c, WarningKind::MergedGammas), 1);
  // Without the weaker: the level fed with the 80 % that does not take it.
  const OutSet& main = c.sets[0];
  EXPECT_EQ(main.name, "MO-99");
  ASSERT_EQ(main.levels.size(), 3u);
  EXPECT_FLOAT_EQ(main.levels[2].feed, 80.0f);
  ASSERT_EQ(main.transitions.size(), 3u);
  EXPECT_FLOAT_EQ(main.transitions[0].intensity, 50.0f);  // 100 keV after 200.0 keV
  EXPECT_FLOAT_EQ(main.transitions[1].energy, 200.0f);
  EXPECT_FLOAT_EQ(main.transitions[1].intensity, 50.0f);
  EXPECT_FLOAT_EQ(main.transitions[2].energy, 300.0f);
  EXPECT_FLOAT_EQ(main.transitions[2].intensity, 30.0f);
  // The cascades through 200.4 keV, in coincidence with 100 keV as well.
  const OutSet& weaker = c.sets[1];
  EXPECT_EQ(weaker.name, "MO-99/2");
  ASSERT_EQ(weaker.levels.size(), 3u);
  EXPECT_FLOAT_EQ(weaker.levels[2].feed, 20.0f);
  ASSERT_EQ(weaker.transitions.size(), 2u);
  EXPECT_FLOAT_EQ(weaker.transitions[0].intensity, 20.0f);
  EXPECT_FLOAT_EQ(weaker.transitions[1].energy, 200.4f);
  EXPECT_FLOAT_EQ(weaker.transitions[1].intensity, 20.0f);

  // A second gamma of intensity 0 carries nothing: it must not replace the first.
  std::string zero = text;
  zero.replace(zero.rfind("20"), 2, "0 ");
  const Conversion z = convertOne(zero);
  ASSERT_EQ(z.sets.size(), 1u);
  ASSERT_EQ(z.sets[0].transitions.size(), 3u);
  EXPECT_FLOAT_EQ(z.sets[0].transitions[1].energy, 200.0f);
  EXPECT_FLOAT_EQ(z.sets[0].transitions[1].intensity, 50.0f);
}

// Real decays with an isomer or a level without transitions in their cascades:
// every line of the scheme above 0.1 % emission is written between its own two
// levels, with its whole intensity over the data sets.
TEST(Isomers, RealDecaysKeepEveryLineOnItsLevels) {
  const std::filesystem::path dir =
      std::filesystem::path(TCSUM_SOURCE_DIR) / ".." / "shared" / "ensdf";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no ENSDF files at " << dir;
  const std::pair<const char*, const char*> decays[] = {{"ensdf.075", "75SE EC DECAY (119.78 D)"},
                                                        {"ensdf.131", "131I B- DECAY"},
                                                        {"ensdf.214", "214PB B- DECAY"}};
  for (const auto& [file, dsid] : decays) {
    std::ifstream in(dir / file, std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), {}};
    const auto sets = readDataSets(content, file);
    const auto set =
        std::find_if(sets.begin(), sets.end(), [&](const DataSet& s) { return s.dsid == dsid; });
    ASSERT_NE(set, sets.end()) << dsid;
    const SchemeBuild whole = buildScheme(*set, {});
    const Conversion c = convert(*set, {});
    ASSERT_EQ(c.refusal, RefusalKind::None) << dsid << ": " << c.reason;
    // Written intensity by the energies of a line's two levels and its own.
    std::map<std::tuple<float, float, float>, double> written;
    for (const OutSet& o : c.sets)
      for (const OutTransition& t : o.transitions)
        written[{o.levels.at(static_cast<std::size_t>(t.upper - 1)).energy,
                 o.levels.at(static_cast<std::size_t>(t.lower - 1)).energy, t.energy}] +=
            static_cast<double>(t.intensity);
    int lines = 0;
    for (const SchemeTransition& t : whole.scheme.transitions) {
      if (t.gamma < 0.1) continue;
      ++lines;
      const auto key = std::make_tuple(
          static_cast<float>(whole.scheme.levels[static_cast<std::size_t>(t.upper)].energy),
          static_cast<float>(whole.scheme.levels[static_cast<std::size_t>(t.lower)].energy),
          static_cast<float>(t.energy));
      EXPECT_NEAR(written[key], t.gamma, 1e-5 * t.gamma) << dsid << ": " << t.energy << " keV";
    }
    EXPECT_GT(lines, 8) << dsid;
  }
}

TEST(Capacity, UnconnectedThenLeastPopulatedLevelsAreDropped) {
  std::string text = id(" 99TC", "99MO B- DECAY") + rec(" 99MO", "  P", {{10, "0.0"}}) +
                     rec(" 99TC", "  N", {{10, "1.0"}, {32, "1.0"}, {42, "1.0"}}) +
                     rec(" 99TC", "  L", {{10, "0.0"}});
  // 34 fed levels with a gamma to the ground state (feeding 1 ... 34 %), 3 idle levels.
  std::vector<std::string> numbers;
  for (int i = 1; i <= 37; ++i)
    numbers.push_back(std::to_string(i * 10) + ".0");
  for (int i = 1; i <= 37; ++i) {
    const std::string& e = numbers[static_cast<std::size_t>(i - 1)];
    text += rec(" 99TC", "  L", {{10, e}});
    if (i > 34) continue;
    const std::string feed = std::to_string(i);
    text += rec(" 99TC", "  B", {{22, feed}}) + rec(" 99TC", "  G", {{10, e}, {22, feed}});
  }
  const Conversion c = convertOne(text);
  ASSERT_EQ(c.sets.size(), 1u);
  const OutSet& s = c.sets[0];
  ASSERT_EQ(s.levels.size(), 32u);
  EXPECT_FLOAT_EQ(s.levels[1].energy, 40.0f);  // 10, 20 and 30 keV were the least populated
  EXPECT_EQ(s.transitions.size(), 31u);
  for (const OutTransition& t : s.transitions)
    EXPECT_LE(t.upper, 32);
  ASSERT_EQ(countKind(c, WarningKind::Pruned), 1);
  EXPECT_NE(c.warnings.back().text.find("feeding 6 %"), std::string::npos)
      << c.warnings.back().text;
}

TEST(Parent, IsomericTransitionFeedsTheParentLevel) {
  const std::string text =
      id("137BA", "137BA IT DECAY") + rec("137BA", "  P", {{10, "661.659"}, {40, "2.552 M"}}) +
      rec("137BA", "  N", {{10, "1.0"}, {32, "1.0"}}) + rec("137BA", "  L", {{10, "0.0"}}) +
      rec("137BA", "  L", {{10, "661.659"}, {40, "2.552 M"}}) +
      rec("137BA", "  G", {{10, "661.657"}, {22, "89.9"}, {56, "0.1124"}});
  Conversion c = convertOne(text);
  ASSERT_EQ(c.sets.size(), 1u);  // the parent level is no isomer to split at
  EXPECT_EQ(c.sets[0].name, "BA-137M");
  EXPECT_EQ(c.sets[0].mode, "IT");
  EXPECT_FLOAT_EQ(c.sets[0].levels.at(1).feed, 100.0f);

  std::string far = text;
  far.replace(far.find("661.659"), 7, "700.000");
  c = convertOne(far);
  EXPECT_EQ(c.refusal, RefusalKind::ParentLevel);
}

}  // namespace
}  // namespace tcsum::ensdf
