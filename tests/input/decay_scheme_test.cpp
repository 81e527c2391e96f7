// A data set of the data file as a model-free decay scheme: which records
// become levels and transitions, and where they were read.
#include "input/decay_scheme.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tcsum {
namespace {

TEST(DecaySchemeOf, LevelsAndTheTransitionsThatTakePart) {
  // Levels 1 ... 3 and the record that ends the list; the transition 2 -> 1
  // given twice (the second holds), 3 -> 2 without gamma intensity, one into
  // a level the data set lacks, one upwards, and the record that ends the list.
  std::istringstream in(
      "  0.0        0.0\n"
      " 100.0       30.0      0.75\n"
      " 250.5       70.0      0.5\n"
      "   0.0\n"
      " 2 1          99.0      10.0\n"
      " 3 1         250.5      40.0       0.2      0.15\n"
      " 3 2         150.5       0.0       0.3\n"
      " 2 1         100.0      30.0      0.01     0.008\n"
      " 4 1         400.0       5.0\n"
      " 2 3          10.0       1.0\n"
      "33 1\n");
  DataFile file(in);
  std::vector<LevelRecord> levels;
  std::vector<TransitionRecord> transitions;
  readLevelRecords(file, levels);
  readTransitionRecords(file, transitions);

  DataSetResult header;
  const std::string name = "BA-1X   ", mode = "EC      ";
  std::copy(name.begin(), name.end(), header.DSNAME.begin());
  std::copy(mode.begin(), mode.end(), header.DECMODE.begin());
  header.electronCapture = true;
  header.EX = 30.85f;
  header.OMEGAK = 0.9f;
  const DecayScheme scheme = decaySchemeOf(header, 40, levels, transitions);

  EXPECT_EQ(scheme.name, "BA-1X");
  EXPECT_EQ(scheme.decayMode, "EC");
  EXPECT_TRUE(scheme.electronCapture);
  EXPECT_EQ(scheme.xrayEnergy, static_cast<double>(30.85f));
  EXPECT_EQ(scheme.record, 40);
  ASSERT_EQ(scheme.levels.size(), 3u);
  EXPECT_EQ(scheme.levels[2].energy, 250.5);
  EXPECT_EQ(scheme.levels[2].feeding, 70.0);
  EXPECT_EQ(scheme.levels[1].kCaptureFraction, 0.75);
  EXPECT_EQ(scheme.levels[0].record, 41);
  EXPECT_EQ(scheme.levels[2].record, 43);

  ASSERT_EQ(scheme.transitions.size(), 2u);
  const SchemeTransition& t21 = scheme.transitions[0];
  EXPECT_EQ(t21.upper, 1);
  EXPECT_EQ(t21.lower, 0);
  EXPECT_EQ(t21.energy, 100.0);
  EXPECT_EQ(t21.gamma, 30.0);
  EXPECT_EQ(t21.alpha, static_cast<double>(0.01f));
  EXPECT_EQ(t21.alphaK, static_cast<double>(0.008f));
  EXPECT_EQ(t21.record, 8);
  const SchemeTransition& t31 = scheme.transitions[1];
  EXPECT_EQ(t31.upper, 2);
  EXPECT_EQ(t31.lower, 0);
  EXPECT_EQ(t31.record, 6);
}

}  // namespace
}  // namespace tcsum
