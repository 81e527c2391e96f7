#include "ensdf/dataset.hpp"

#include <gtest/gtest.h>

#include "support/ensdf.hpp"

namespace tcsum::ensdf {
namespace {

using test::ensdfRecord;

// Cs-137 records whose fields touch: E 1176 with DE 1 in column 21 and IB 5.3
// right after; a gamma 283.5 with DE 1 and RI 5.8E-4.
std::string cs137() {
  return ensdfRecord({{1, "137BA"}, {10, "137CS B- DECAY"}}) +
         ensdfRecord({{1, "137CS"}, {8, "P"}, {10, "0.0"}, {22, "7/2+"}, {40, "30.08 Y"}}) +
         ensdfRecord({{1, "137BA"}, {8, "N"}, {10, "0.9470"}, {32, "1.0"}, {42, "1.0"}}) +
         ensdfRecord({{1, "137BA"}, {7, "c"}, {8, "G"}, {10, "a comment: G 1.0 record"}}) +
         ensdfRecord({{1, "137BA"}, {8, "G"}, {10, "31.8"}, {22, "2.0"}}) +  // unplaced
         ensdfRecord({{1, "137BA"}, {8, "L"}, {10, "0.0"}, {40, "STABLE"}}) +
         ensdfRecord({{1, "137BA"}, {8, "B"}, {10, "1176"}, {21, "15.3"}}) +
         ensdfRecord({{1, "137BA"}, {8, "L"}, {10, "283.5"}}) +
         ensdfRecord({{1, "137BA"}, {8, "G"}, {10, "283.5"}, {21, "15.8E-4"}, {31, "8"}}) +
         ensdfRecord({{1, "137BA"}, {8, "L"}, {10, "661.659"}, {20, " 3"}, {40, "2.552 M"}}) +
         ensdfRecord({{1, "137BA"},
                      {8, "G"},
                      {10, "661.657"},
                      {20, " 3"},
                      {22, "85.10"},
                      {30, "20"},
                      {56, "0.1124"}}) +
         ensdfRecord({{1, "137BA"}, {6, "S"}, {8, "G"}, {10, "KC=0.0915 13$LC=0.01648 23"}}) +
         ensdfRecord({{1, "137BA"}, {6, "S"}, {8, "B"}, {10, "EAV=174.32 7"}});
}

TEST(DataSet, FieldsAreReadByTheirColumnsOnly) {
  const auto sets = readDataSets(cs137(), "cs137.ens");
  ASSERT_EQ(sets.size(), 1u);
  const DataSet& s = sets[0];
  EXPECT_EQ(s.dsid, "137CS B- DECAY");
  EXPECT_EQ(s.decayToken(), "B-");
  EXPECT_EQ(s.nucid, "137BA");
  ASSERT_EQ(s.levels.size(), 3u);
  ASSERT_EQ(s.levels[0].feeds.size(), 1u);
  EXPECT_DOUBLE_EQ(s.levels[0].feeds[0].ib.value, 5.3);
  const GammaRecord& g283 = s.levels[1].gammas.at(0);
  EXPECT_DOUBLE_EQ(g283.energy.value, 283.5);
  EXPECT_NEAR(g283.energy.uncertainty, 0.1, 1e-12);
  EXPECT_DOUBLE_EQ(g283.ri.value, 5.8e-4);
  EXPECT_EQ(s.levels[2].halfLife, "2.552 M");
  const GammaRecord& g661 = s.levels[2].gammas.at(0);
  EXPECT_DOUBLE_EQ(g661.cc.value, 0.1124);
  ASSERT_NE(g661.item("KC"), nullptr);
  EXPECT_DOUBLE_EQ(g661.item("KC")->value.value, 0.0915);
  EXPECT_EQ(s.levels[2].feeds.size(), 0u);  // the B continuation had no B record to go to
  ASSERT_EQ(s.unplaced.size(), 1u);         // before the first level; the comment record is not one
  EXPECT_DOUBLE_EQ(s.norms.at(0).nr.value, 0.947);
}

TEST(DataSet, DataSetsEndAtBlankRecordsAndOnlyDecayDataSetsAreKept) {
  const std::string adopted = ensdfRecord({{1, "137BA"}, {10, "ADOPTED LEVELS, GAMMAS"}}) +
                              ensdfRecord({{1, "137BA"}, {8, "L"}, {10, "0.0"}});
  const std::string colon = ensdfRecord({{1, " 11BE"}, {10, "11LI B- DECAY:8.75 MS"}}) +
                            ensdfRecord({{1, " 11BE"}, {8, "L"}, {10, "0.0"}});
  std::string crlf = cs137();
  for (std::size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
    crlf.insert(at, "\r");
  const auto sets = readDataSets(adopted + "\n" + crlf + "\n" + colon, "mixed");
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].levels.size(), 3u);
  EXPECT_EQ(sets[0].line, 4);
  EXPECT_EQ(sets[1].decayToken(), "B-");
  EXPECT_EQ(sets[1].levels.size(), 1u);
}

TEST(DataSet, ProductionNormalisationAndContinuationsOfCaptureRecords) {
  const std::string text =
      ensdfRecord({{1, "109AG"}, {10, "109CD EC DECAY"}}) +
      ensdfRecord({{1, "109AG"}, {8, "N"}, {10, "5555.56"}, {32, "0.00018"}}) +
      ensdfRecord({{1, "109AG"}, {7, "P"}, {8, "N"}, {10, "1.0"}, {42, "0.5"}}) +
      ensdfRecord({{1, "109AG"}, {8, "L"}, {10, "88.0341"}}) +
      ensdfRecord({{1, "109AG"}, {8, "E"}, {22, "1.5"}, {32, "98.5"}, {65, "100"}}) +
      ensdfRecord({{1, "109AG"}, {6, "S"}, {8, "E"}, {10, "CK=0.8131 10$CL=0.1484 8"}});
  const auto sets = readDataSets(text, "x");
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_DOUBLE_EQ(sets[0].productionNorms.at(0).nrbr.value, 1.0);
  EXPECT_DOUBLE_EQ(sets[0].productionNorms.at(0).nbbr.value, 0.5);
  const FeedRecord& e = sets[0].levels.at(0).feeds.at(0);
  EXPECT_DOUBLE_EQ(e.ib.value, 1.5);
  EXPECT_DOUBLE_EQ(e.ie.value, 98.5);
  EXPECT_DOUBLE_EQ(e.ti.value, 100.0);
  ASSERT_NE(e.item("CK"), nullptr);
  EXPECT_DOUBLE_EQ(e.item("CK")->value.value, 0.8131);
}

}  // namespace
}  // namespace tcsum::ensdf
