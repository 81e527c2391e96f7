#include "atomic/atomic.hpp"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tcsum::atomic {
namespace {

TEST(Atomic, RateWeightedKEnergyAndFluorescenceYield) {
  struct Check {
    const char* symbol;
    double energy, yield;
  };
  for (const Check& c :
       {Check{"NI", 7.567, 0.4212}, Check{"BA", 32.922, 0.8997}, Check{"Cs", 31.666, 0.8942},
        Check{"SM", 41.041, 0.9255}, Check{"SR", 14.402, 0.6956}}) {
    const KShellData d = kShellData(atomicNumber(c.symbol));
    EXPECT_TRUE(d.energyKnown && d.yieldKnown) << c.symbol;
    EXPECT_NEAR(d.energy, c.energy, 0.0005) << c.symbol;
    EXPECT_NEAR(d.yield, c.yield, 0.00005) << c.symbol;
  }
}

TEST(Atomic, UnknownElementsAndMissingValues) {
  EXPECT_EQ(atomicNumber("XX"), 0);
  EXPECT_EQ(atomicNumber("1S"), 0);
  EXPECT_EQ(atomicNumber(""), 0);
  EXPECT_FALSE(kShellData(0).energyKnown);
  const KShellData fm = kShellData(atomicNumber("FM"));  // Z = 100: no K fluorescence yield
  EXPECT_TRUE(fm.energyKnown);
  EXPECT_FALSE(fm.yieldKnown);
  EXPECT_EQ(fm.yield, 0.0);
}

TEST(Atomic, KLineGroupsFromTheRadiativeRates) {
  struct Check {
    int z;
    double ka1, ka2, kb1, kb2;
  };
  // Ba, Sm, Dy: Ka1 = KL3, Ka2 = KL2 (tabulated line energies), Kb1 and Kb2 their groups' means.
  for (const Check& c : {Check{56, 32.194, 31.817, 36.353, 37.278},
                         Check{62, 40.118, 39.522, 45.373, 46.608},
                         Check{66, 45.998, 45.208, 52.056, 53.511}}) {
    const AtomicData a = atomicData(c.z);
    ASSERT_EQ(a.kLines.size(), 4u) << c.z;
    EXPECT_EQ(a.kLines[0].label, "Ka1");
    EXPECT_EQ(a.kLines[3].label, "Kb2");
    double shares = 0.0, mean = 0.0;
    for (const AtomicLine& l : a.kLines) {
      shares += l.share;
      mean += l.share * l.energy;
    }
    EXPECT_NEAR(shares, 1.0, 1e-12) << c.z;
    // The groups split the same lines as the data file's E(X).
    EXPECT_NEAR(mean, kShellData(c.z).energy, 1e-9) << c.z;
    EXPECT_EQ(a.omegaK, kShellData(c.z).yield);
    EXPECT_NEAR(a.kLines[0].energy, c.ka1, 0.001) << c.z;
    EXPECT_NEAR(a.kLines[1].energy, c.ka2, 0.001) << c.z;
    EXPECT_NEAR(a.kLines[2].energy, c.kb1, 0.001) << c.z;
    EXPECT_NEAR(a.kLines[3].energy, c.kb2, 0.001) << c.z;
    EXPECT_GT(a.kLines[0].share, 1.7 * a.kLines[1].share);  // Ka1 : Ka2 near 2 : 1
  }
  // Light elements have no N shell: no Kb2 group.
  EXPECT_EQ(atomicData(27).kLines.size(), 3u);
  EXPECT_TRUE(atomicData(0).kLines.empty());
  EXPECT_TRUE(atomicData(121).kLines.empty());
}

TEST(Atomic, LShellYieldWithCosterKronigTransfers) {
  // Sm: w1 0.071, w2 0.14, w3 0.139, f12 0.19, f13 0.3, f23 0.151 in xraylib; vacancies 2 : 2 : 4.
  const double x1 = 0.25 * 0.071, x2 = (0.25 + 0.25 * 0.19) * 0.14,
               x3 = (0.5 + 0.25 * 0.151 + 0.25 * (0.3 + 0.19 * 0.151)) * 0.139;
  const AtomicData sm = atomicData(62);
  EXPECT_NEAR(sm.omegaL, x1 + x2 + x3, 1e-12);
  EXPECT_NEAR(sm.lEnergy, 6.006, 0.01);  // between La (5.6) and Lb (6.2-7.2)
  EXPECT_GT(atomicData(66).omegaL, sm.omegaL);
  // Na: no L x-rays in xraylib.
  EXPECT_EQ(atomicData(11).omegaL, 0.0);
  EXPECT_EQ(atomicData(11).lEnergy, 0.0);
}

TEST(Atomic, SafeFromSeveralThreads) {
  std::vector<AtomicData> seen(8);
  {
    std::vector<std::jthread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t)
      threads.emplace_back([&seen, t] { seen[t] = atomicData(62); });
  }
  for (const AtomicData& a : seen) {
    EXPECT_EQ(a.omegaK, seen[0].omegaK);
    EXPECT_EQ(a.kLines.size(), 4u);
  }
}

}  // namespace
}  // namespace tcsum::atomic
