#include "geometry/xcom.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "geometry/materials.hpp"

namespace tcsum::geometry {
namespace {

TEST(Xcom, GridValuesComeBackExactly) {
  // Z032-Ge.csv: 661.7 is not on the grid, 600 and 1500 are.
  CrossSections s = crossSections(32, 600.0);
  EXPECT_DOUBLE_EQ(s.coherent, 0.1996);
  EXPECT_DOUBLE_EQ(s.incoherent, 8.516);
  EXPECT_DOUBLE_EQ(s.photoelectric, 0.2699);
  EXPECT_DOUBLE_EQ(crossSections(32, 1500.0).pairNuclear, 0.0532);
}

TEST(Xcom, EdgesAreNotInterpolatedAcross) {
  // Ge K edge at 11.1031 keV: just below and just above differ by the jump.
  double below = crossSections(32, 11.10).photoelectric;
  double above = crossSections(32, 11.1031).photoelectric;
  EXPECT_GT(above / below, 5.0);
  // Between grid points log-log: between 600 (0.2699) and 800 (0.1379).
  double mid = crossSections(32, std::sqrt(600.0 * 800.0)).photoelectric;
  EXPECT_NEAR(mid, std::sqrt(0.2699 * 0.1379), 1e-12);
}

TEST(Xcom, PairProductionOnlyAboveItsThresholds) {
  EXPECT_EQ(crossSections(82, 1000.0).pairNuclear, 0.0);
  EXPECT_GT(crossSections(82, 1100.0).pairNuclear, 0.0);
  EXPECT_EQ(crossSections(82, 2000.0).pairElectron, 0.0);
  EXPECT_GT(crossSections(82, 2500.0).pairElectron, 0.0);
  EXPECT_THROW(crossSections(32, 0.5), std::invalid_argument);
  EXPECT_THROW(crossSections(0, 100.0), std::invalid_argument);
}

TEST(Materials, FormulasNamesAndMixtures) {
  auto water = formulaMassFractions("H2O");
  ASSERT_EQ(water.size(), 2u);
  EXPECT_NEAR(water[0].second, 2 * 1.00794 / (2 * 1.00794 + atomicWeight(8)), 1e-12);
  auto group = formulaMassFractions("Ca(OH)2");
  EXPECT_EQ(group.size(), 3u);
  EXPECT_THROW(formulaMassFractions("Xx2"), std::invalid_argument);
  EXPECT_THROW(formulaMassFractions("(H2O"), std::invalid_argument);
  auto al = namedMaterial("Aluminum");
  ASSERT_TRUE(al);
  EXPECT_EQ(al->density, 2.699);
  EXPECT_FALSE(namedMaterial("unobtainium"));
  for (const std::string& name : materialNames()) EXPECT_TRUE(namedMaterial(name)) << name;
  // Water at 661.7 keV: mu/rho about 0.0857 cm^2/g with coherent scattering.
  EXPECT_NEAR(massAttenuation(*namedMaterial("water"), 661.7, true), 0.0857, 0.001);
}

}  // namespace
}  // namespace tcsum::geometry
