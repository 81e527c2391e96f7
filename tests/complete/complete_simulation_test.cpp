// The simulation of the complete model against its exact computation.
#include "complete/simulation.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "complete/support.hpp"

namespace tcsum::complete {
namespace {

using test::makeScheme;

// Everything at once: capture with K x-rays and positrons, conversion with K and L x-rays, a
// crossover, a level without a direct transition to the ground state, an isomer.
DecayScheme busy() {
  AtomicData atomic;
  atomic.omegaK = 0.85;
  atomic.kLines = {{"Ka1", 40.0, 0.55}, {"Ka2", 39.4, 0.28}, {"Kb1", 45.4, 0.14}, {"Kb2", 46.6, 0.03}};
  atomic.omegaL = 0.15;
  atomic.lEnergy = 6.0;
  return makeScheme({{0},
                     {344, 10, 0, 0.8},
                     {1085, 20, 0, 0.7, 2e-6},
                     {1300, 0},
                     {2100, 50, 15, 0.6},
                     {2300, 20, 0, 0.75}},
                    {{1, 0, 80, 0.05, 0.04, 0.008},
                     {2, 1, 30, 0.01, 0.008},
                     {2, 0, 20},
                     {3, 1, 25},
                     {4, 3, 25},
                     {4, 2, 30, 0.002, 0.0015},
                     {4, 0, 5},
                     {5, 4, 8, 0.3, 0.25, 0.04},
                     {5, 2, 12}},
                    atomic);
}

void expectAgreement(const DecayScheme& s, const SourceEfficiency& source, const Settings& settings) {
  const Simulation sim = simulate(s, source, settings, 1'000'000, 12345, 2);
  ASSERT_EQ(sim.lines.size(), sim.computed.lines.size());
  int compared = 0;
  for (std::size_t k = 0; k < sim.lines.size(); ++k) {
    const LineResult& exact = sim.computed.lines[k];
    const SimulatedLine& mc = sim.lines[k];
    if (exact.kind == LineKind::sum) {
      EXPECT_NEAR(mc.rate, exact.rate, 3.0 * mc.rateUncertainty + 1e-9) << exact.energy;
    } else {
      ASSERT_GT(mc.factorUncertainty, 0.0) << exact.energy;
      EXPECT_NEAR(mc.factor, exact.factor, 3.0 * mc.factorUncertainty) << exact.energy;
      EXPECT_LT(mc.factorUncertainty, 0.05 * exact.factor) << exact.energy;
    }
    ++compared;
  }
  EXPECT_GT(compared, 10);
}

TEST(CompleteSimulation, AgreesWithTheExactCountsOnABusyScheme) {
  expectAgreement(busy(), test::pointSource(), {});
  Settings independent;
  independent.annihilation = Annihilation::independent;
  independent.peakWindow = 1.0;
  SourceEfficiency two = test::pointSource(1.0);
  two[0].weight = 0.6;
  two.push_back({0.4, test::pointSource(0.3)[0].efficiency});
  expectAgreement(busy(), two, independent);
}

TEST(CompleteSimulation, SameResultForAnyNumberOfThreads) {
  const DecayScheme s = busy();
  const Simulation one = simulate(s, test::pointSource(), {}, 200'000, 7, 1);
  const Simulation two = simulate(s, test::pointSource(), {}, 200'000, 7, 2);
  const Simulation other = simulate(s, test::pointSource(), {}, 200'000, 8, 2);
  ASSERT_EQ(one.lines.size(), two.lines.size());
  bool differs = false;
  for (std::size_t k = 0; k < one.lines.size(); ++k) {
    EXPECT_EQ(one.lines[k].rate, two.lines[k].rate);
    EXPECT_EQ(one.lines[k].factor, two.lines[k].factor);
    differs = differs || one.lines[k].rate != other.lines[k].rate;
  }
  EXPECT_TRUE(differs);
  EXPECT_TRUE(simulate(s, test::pointSource(), {}, 0, 1).lines.size() == one.lines.size());
}

}  // namespace
}  // namespace tcsum::complete
