// The complete model against closed forms of small schemes, point source unless said.
#include "complete/model.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>

#include "complete/support.hpp"

namespace tcsum::complete {
namespace {

using test::makeScheme;
using test::near;
using test::pointSource;

double pk(double e) { return near(e).peak; }
double tot(double e) { return near(e).total; }

const LineResult& line(const Result& r, LineKind kind, double energy) {
  for (const LineResult& l : r.lines)
    if (l.kind == kind && std::abs(l.energy - energy) < 0.5) return l;
  ADD_FAILURE() << "no line at " << energy;
  static const LineResult none;
  return none;
}
const LineResult& gamma(const Result& r, double energy) { return line(r, LineKind::gamma, energy); }

constexpr double kTight = 1e-12;
constexpr double kE511 = 510.99895;  // keV

TEST(CompleteModel, TwoStepCascadeAndItsSumPeak) {
  // 2000 -> 1200 -> 0 keV, fed at the top: Co-60 in small.
  const Result r = compute(makeScheme({{0}, {1200}, {2000, 100}}, {{2, 1, 100}, {1, 0, 100}}),
                           pointSource(), {});
  EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
  const LineResult& g800 = gamma(r, 800);
  const LineResult& g1200 = gamma(r, 1200);
  EXPECT_NEAR(g800.emission, 100.0, kTight);
  EXPECT_NEAR(g800.rate0, 100.0 * pk(800), kTight);
  EXPECT_NEAR(g800.factor, 1.0 / (1.0 - tot(1200)), kTight);
  EXPECT_NEAR(g1200.factor, 1.0 / (1.0 - tot(800)), kTight);
  EXPECT_NEAR(g1200.rate, 100.0 * pk(1200) * (1.0 - tot(800)), kTight);
  const LineResult& sum = line(r, LineKind::sum, 2000);
  EXPECT_NEAR(sum.energy, 2000.0, 1e-9);
  EXPECT_NEAR(sum.rate, 100.0 * pk(800) * pk(1200), kTight);
  EXPECT_EQ(sum.emission, 0.0);
  ASSERT_EQ(r.photons.size(), 2u);
  EXPECT_NEAR(r.photons[0].efficiency.peak, pk(r.photons[0].energy), kTight);
  for (std::size_t k = 1; k < r.lines.size(); ++k) EXPECT_LT(r.lines[k - 1].energy, r.lines[k].energy);
}

TEST(CompleteModel, CrossoverSumsIntoTheDirectLine) {
  // 2000 keV: to 1200 keV (intensity 60) or to the ground state (40); 1200 keV also fed.
  const Result r = compute(makeScheme({{0}, {1200, 30}, {2000, 70}},
                                      {{2, 1, 42}, {2, 0, 28}, {1, 0, 72}}),
                           pointSource(), {});
  const double b = 0.4, f2 = 0.7, f1 = 0.3;
  const LineResult& cross = gamma(r, 2000);
  EXPECT_NEAR(cross.rate0, 100.0 * f2 * b * pk(2000), kTight);
  EXPECT_NEAR(cross.rate, 100.0 * f2 * (b * pk(2000) + (1.0 - b) * pk(800) * pk(1200)), kTight);
  const LineResult& g1200 = gamma(r, 1200);
  EXPECT_NEAR(g1200.emission, 100.0 * (f1 + f2 * (1.0 - b)), kTight);
  EXPECT_NEAR(g1200.rate, 100.0 * pk(1200) * (f1 + f2 * (1.0 - b) * (1.0 - tot(800))), kTight);
  EXPECT_NEAR(gamma(r, 800).factor, 1.0 / (1.0 - tot(1200)), kTight);
}

TEST(CompleteModel, ConversionWithKAndLXrays) {
  AtomicData atomic;
  atomic.omegaK = 0.9;
  atomic.kLines = {{"Ka1", 40.0, 0.8}, {"Kb1", 46.0, 0.2}};
  atomic.omegaL = 0.2;
  atomic.lEnergy = 6.0;
  const double alpha = 0.5, alphaK = 0.4, alphaL = 0.08;
  const Result r = compute(makeScheme({{0}, {1200}, {2000, 100}},
                                      {{2, 1, 100 / (1 + alpha), alpha, alphaK, alphaL}, {1, 0, 100}},
                                      atomic),
                           pointSource(), {});
  const double pg = 1.0 / (1.0 + alpha), pK = alphaK / (1.0 + alpha) * 0.9,
               pL = alphaL / (1.0 + alpha) * 0.2;
  const double seen = pg * tot(800) + pK * (0.8 * tot(40) + 0.2 * tot(46)) + pL * tot(6);
  EXPECT_NEAR(gamma(r, 1200).factor, 1.0 / (1.0 - seen), kTight);
  EXPECT_NEAR(gamma(r, 800).emission, 100.0 * pg, kTight);
  const LineResult& ka1 = line(r, LineKind::kxray, 40);
  EXPECT_EQ(ka1.label, "Ka1");
  EXPECT_NEAR(ka1.emission, 100.0 * pK * 0.8, kTight);
  EXPECT_NEAR(ka1.factor, 1.0 / (1.0 - tot(1200)), kTight);
  const LineResult& l = line(r, LineKind::lxray, 6);
  EXPECT_NEAR(l.emission, 100.0 * pL, kTight);
  EXPECT_NEAR(l.factor, 1.0 / (1.0 - tot(1200)), kTight);
}

// Evaluated data often give KC without CC: the transition (here the only
// one below the fed level) stays, with the total taken as the K coefficient,
// and the run says so.
TEST(CompleteModel, KCoefficientWithoutTotalKeepsTheTransition) {
  AtomicData atomic;
  atomic.omegaK = 0.5;
  atomic.kLines = {{"Ka1", 40.0, 1.0}};
  const double alphaK = 0.25;
  const Result r = compute(
      makeScheme({{0}, {846.8}, {2085.1, 100}}, {{2, 1, 100, 0.0, 0.0}, {1, 0, 100, 0.0, alphaK}},
                 atomic),
      pointSource(), {});
  const double pg = 1.0 / (1.0 + alphaK);
  EXPECT_NEAR(gamma(r, 846.8).emission, 100.0 * pg, kTight);
  EXPECT_NEAR(gamma(r, 1238.3).factor, 1.0 / (1.0 - pg * tot(846.8) - alphaK * pg * 0.5 * tot(40)),
              kTight);
  bool said = false;
  for (const std::string& w : r.warnings) said = said || w.find("the sum taken") != std::string::npos;
  EXPECT_TRUE(said);
}

TEST(CompleteModel, KCaptureXraysAndTheGroupAsOneCount) {
  AtomicData atomic;
  atomic.omegaK = 0.9;
  atomic.kLines = {{"Ka1", 40.0, 1.0}};
  // Capture into 1200 keV (PK 0.8), and K conversion of the 1200 keV transition: the x-ray
  // line's count is the sum over both, its factor the ratio of the sums.
  const double alphaK = 0.1;
  const Result r = compute(makeScheme({{0}, {1200, 100, 0, 0.8}},
                                      {{1, 0, 100 / (1 + alphaK), alphaK, alphaK}}, atomic),
                           pointSource(), {});
  const double pg = 1.0 / (1.0 + alphaK), pK = alphaK / (1.0 + alphaK) * 0.9;
  const double capture = 0.8 * 0.9;
  EXPECT_NEAR(gamma(r, 1200).factor, 1.0 / (1.0 - capture * tot(40)), kTight);
  const LineResult& x = line(r, LineKind::kxray, 40);
  EXPECT_NEAR(x.emission, 100.0 * (capture + pK), kTight);
  // Counted: capture x-ray alone (gamma not seen), or the conversion x-ray alone (capture
  // x-ray not seen), or both x-rays? No: 80 keV is no 40 keV peak.
  const double counted = capture * pk(40) * (pg * (1.0 - tot(1200)) + (1.0 - pg) * (1.0 - 0.9 * tot(40))) +
                         (1.0 - capture * tot(40)) * pK * pk(40);
  EXPECT_NEAR(x.rate, 100.0 * counted, kTight);
  EXPECT_NEAR(x.factor, (capture + pK) * pk(40) / counted, kTight);
}

TEST(CompleteModel, TripleCascadeWithCrossoverAndNoIntermediateDirectTransition) {
  // 2100 -> 1400 -> 500 -> 0 and 2100 -> 500; 1400 keV has no transition to the ground state.
  const Result r = compute(makeScheme({{0}, {500}, {1400}, {2100, 100}},
                                      {{3, 2, 75}, {3, 1, 25}, {2, 1, 75}, {1, 0, 100}}),
                           pointSource(), {});
  const double b = 0.75;
  const LineResult& g900 = gamma(r, 900);
  EXPECT_NEAR(gamma(r, 1600).rate,
              100.0 * (1.0 - tot(500)) * ((1.0 - b) * pk(1600) + b * pk(700) * pk(900)), kTight);
  EXPECT_NEAR(gamma(r, 1600).rate0, 100.0 * (1.0 - b) * pk(1600), kTight);
  EXPECT_NEAR(gamma(r, 500).rate,
              100.0 * pk(500) * ((1.0 - b) * (1.0 - tot(1600)) + b * (1.0 - tot(700)) * (1.0 - tot(900))),
              kTight);
  EXPECT_NEAR(gamma(r, 700).factor, 1.0 / ((1.0 - tot(900)) * (1.0 - tot(500))), kTight);
  EXPECT_NEAR(g900.factor, 1.0 / ((1.0 - tot(700)) * (1.0 - tot(500))), kTight);
  EXPECT_NEAR(line(r, LineKind::sum, 2100).rate,
              100.0 * pk(500) * (b * pk(700) * pk(900) + (1.0 - b) * pk(1600)), kTight);
  EXPECT_NEAR(line(r, LineKind::sum, 1200).rate, 100.0 * b * pk(700) * (1.0 - tot(900)) * pk(500), kTight);
}

TEST(CompleteModel, PositronsBackToBackIndependentOrNone) {
  const double f = 0.4;
  const DecayScheme s = makeScheme({{0}, {1200, 100, 40}}, {{1, 0, 100}});
  const Result back = compute(s, pointSource(), {});
  EXPECT_NEAR(gamma(back, 1200).factor, 1.0 / (1.0 - 2.0 * f * tot(kE511)), kTight);
  const LineResult& a = line(back, LineKind::annihilation, 511);
  EXPECT_NEAR(a.emission, 80.0, kTight);
  EXPECT_NEAR(a.rate0, 80.0 * pk(kE511), kTight);
  EXPECT_NEAR(a.factor, 1.0 / (1.0 - tot(1200)), kTight);

  Settings independent;
  independent.annihilation = Annihilation::independent;
  const Result ind = compute(s, pointSource(), independent);
  const double seen = 1.0 - (1.0 - tot(kE511)) * (1.0 - tot(kE511));
  EXPECT_NEAR(gamma(ind, 1200).factor, 1.0 / (1.0 - f * seen), kTight);
  // One photon in its peak and the other missed, either of the two.
  EXPECT_NEAR(line(ind, LineKind::annihilation, 511).rate,
              100.0 * f * 2.0 * pk(kE511) * (1.0 - tot(kE511)) * (1.0 - tot(1200)), kTight);
  EXPECT_NEAR(line(ind, LineKind::sum, 1022).rate, 100.0 * f * pk(kE511) * pk(kE511) * (1.0 - tot(1200)),
              kTight);

  Settings none;
  none.annihilation = Annihilation::none;
  const Result off = compute(s, pointSource(), none);
  EXPECT_NEAR(gamma(off, 1200).factor, 1.0, kTight);
  for (const LineResult& l : off.lines) EXPECT_NE(l.kind, LineKind::annihilation);
}

TEST(CompleteModel, IsomerEndsTheEventInMidCascade) {
  // 2100 -> 1400 (isomer, 1 s; also fed) -> 500 -> 0.
  auto scheme = [](double halfLife) {
    return makeScheme({{0}, {500}, {1400, 20, 0, 0, halfLife}, {2100, 80}},
                      {{3, 2, 80}, {2, 1, 100}, {1, 0, 100}});
  };
  const Result isomer = compute(scheme(1.0), pointSource(), {});
  EXPECT_NEAR(gamma(isomer, 700).factor, 1.0, kTight);
  EXPECT_NEAR(gamma(isomer, 900).factor, 1.0 / (1.0 - tot(500)), kTight);
  EXPECT_NEAR(gamma(isomer, 500).rate, 100.0 * pk(500) * (1.0 - tot(900)), kTight);
  EXPECT_NEAR(gamma(isomer, 900).emission, 100.0, kTight);
  const Result prompt = compute(scheme(1e-7), pointSource(), {});
  EXPECT_NEAR(gamma(prompt, 700).factor, 1.0 / ((1.0 - tot(900)) * (1.0 - tot(500))), kTight);
  EXPECT_NEAR(gamma(prompt, 500).rate,
              100.0 * pk(500) * (1.0 - tot(900)) * (0.2 + 0.8 * (1.0 - tot(700))), kTight);
  Settings longer;
  longer.isomerThreshold = 10.0;
  EXPECT_NEAR(gamma(compute(scheme(1.0), pointSource(), longer), 700).factor,
              gamma(prompt, 700).factor, kTight);
}

TEST(CompleteModel, NodesAddTheirCountsWithTheirWeights) {
  const DecayScheme s = makeScheme({{0}, {1200}, {2000, 100}}, {{2, 1, 100}, {1, 0, 100}});
  SourceEfficiency two = pointSource(1.0);
  two[0].weight = 0.3;
  two.push_back({0.7, pointSource(0.4)[0].efficiency});
  const Result r = compute(s, two, {});
  auto node = [](double scale, double w) {
    return w * test::near(1200, scale).peak * (1.0 - test::near(800, scale).total);
  };
  const double rate = node(1.0, 0.3) + node(0.4, 0.7);
  const double rate0 = 0.3 * test::near(1200, 1.0).peak + 0.7 * test::near(1200, 0.4).peak;
  EXPECT_NEAR(gamma(r, 1200).rate, 100.0 * rate, kTight);
  EXPECT_NEAR(gamma(r, 1200).factor, rate0 / rate, kTight);
  EXPECT_NEAR(r.photons[1].efficiency.peak, rate0, kTight);
}

TEST(CompleteModel, WindowsUnbalancedSchemesAndBadSettings) {
  // Two lines 0.5 keV apart are one peak, with a warning, and share its factor.
  const DecayScheme doublet =
      makeScheme({{0}, {1000, 50}, {1000.5, 50}}, {{1, 0, 50}, {2, 0, 50}});
  const Result r = compute(doublet, pointSource(), {});
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find("within one another's peak window"), std::string::npos);
  EXPECT_DOUBLE_EQ(r.lines[0].factor, 1.0);
  EXPECT_DOUBLE_EQ(r.lines[1].factor, 1.0);
  // A fixed window of 0.2 keV tells them apart.
  Settings narrow;
  narrow.peakWindow = 0.2;
  EXPECT_TRUE(compute(doublet, pointSource(), narrow).warnings.empty());
  narrow.peakWindow = -1.0;
  EXPECT_THROW(compute(doublet, pointSource(), narrow), std::invalid_argument);
  EXPECT_THROW(compute(doublet, {}, {}), std::invalid_argument);

  // Out of 1200 keV twice what comes in: warned, the branching from the intensities.
  const Result u = compute(makeScheme({{0}, {1200}, {2000, 100}}, {{2, 1, 100}, {1, 0, 200}}),
                           pointSource(), {});
  ASSERT_FALSE(u.warnings.empty());
  EXPECT_NE(u.warnings[0].find("unbalanced"), std::string::npos);
  EXPECT_NEAR(gamma(u, 1200).emission, 100.0, kTight);
}

TEST(CompleteModel, DenseSchemeInBoundedTime) {
  // N levels, each to up to six below it (80 levels: 400 transitions), fed evenly; the time
  // printed for 20, 40 and 80 levels grows with the transitions, not with the paths.
  for (int32_t n : {20, 40, 80}) {
    std::vector<test::LevelSpec> levels{{0}};
    std::vector<test::TransitionSpec> transitions;
    for (int32_t l = 1; l < n; ++l) {
      levels.push_back({37.3 * l + 0.011 * l * l, 100.0 / (n - 1)});
      for (int32_t k = 1; k <= 6 && transitions.size() < 400; ++k)
        if (l - k >= 0) transitions.push_back({l, l - k, 1.0 + k});
    }
    const DecayScheme s = makeScheme(levels, transitions);
    const auto start = std::chrono::steady_clock::now();
    const Result r = compute(s, pointSource(), {});
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("dense scheme, %zu levels and %zu transitions: %.1f ms, %zu lines%s%s\n",
                levels.size(), transitions.size(), ms, r.lines.size(),
                r.warnings.empty() ? "" : "; ", r.warnings.empty() ? "" : r.warnings.back().c_str());
    EXPECT_GE(r.lines.size(), transitions.size());
    EXPECT_LT(ms, 20000.0);
  }
}

}  // namespace
}  // namespace tcsum::complete
