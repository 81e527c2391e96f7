#include "ensdf/atomic.hpp"

#include <gtest/gtest.h>

namespace tcsum::ensdf {
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

}  // namespace
}  // namespace tcsum::ensdf
