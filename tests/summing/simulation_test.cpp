// Event-by-event Monte Carlo cross-check of the summing model: decays simulated photon by photon
// (feeding, capture K x-rays, branching, gamma or K conversion with fluorescence, each photon in
// its full-energy peak, elsewhere, or missed) give peak counts and correction factors to compare
// with the program's, whose closed form is exact when every level through which a cascade bridges
// two levels has a direct transition to the lower one, as in every scheme below.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "driver/run.hpp"
#include "efficiency/eps.hpp"

namespace {

#ifdef __OPTIMIZE__
constexpr int kDecays = 2'000'000;
#else
constexpr int kDecays = 500'000;  // unoptimised (sanitizer) builds: wider limits, same checks
#endif
constexpr int kL = tcsum::kLevels + 1;  // per-level arrays, indexed by level number from 1

// Decays counted in a peak without coincidences (its own photons in it), with them, and in both.
// The peaks are [0][J][I] the gamma line J -> I, [1][J][I] the K x-rays of its conversion and
// [1][J][J] the K x-rays of the capture into J.
struct Count {
  double n0 = 0.0, n1 = 0.0, both = 0.0;
};

// Simulates kDecays decays of the data set in the store into the counts t.
void simulate(const tcsum::Store& st, Count (&t)[2][kL][kL]) {
  const double omegak = double{st.OMEGAK}, xPeak = double{tcsum::EPS(st, st.EX, 2)},
               xTotal = double{tcsum::EPS(st, st.EX, 1)};
  // Per level the feeding and the probability of a capture K x-ray; per transition J -> I its
  // probability, those of a gamma and of a K x-ray, and the gamma's peak and total efficiency.
  double feedSum = 0.0, feed[kL]{}, capture[kL]{}, p[kL][kL]{}, gamma[kL][kL]{}, xray[kL][kL]{},
         peak[kL][kL]{}, total[kL][kL]{};
  for (int J = 1; J <= st.NLEV; ++J) {
    feedSum += feed[J] = double{st.FEED(J)};
    capture[J] = tcsum::isElectronCapture(st) ? double{st.PK(J)} * omegak : 0.0;
    for (int I = 1; I < J; ++I) {
      if (st.XTR(J, I) == 0.0f) continue;
      p[J][I] = double{st.XTR(J, I)};
      gamma[J][I] = 1.0 / (1.0 + double{st.ALPHA(J, I)});
      xray[J][I] = gamma[J][I] * omegak * double{st.ALPHAK(J, I)};
      peak[J][I] = double{tcsum::EPS(st, st.EGAM(J, I), 2)};
      total[J][I] = double{tcsum::EPS(st, st.EGAM(J, I), 1)};
    }
  }
  std::mt19937_64 gen{20260607};  // uniform in [0, 1) from the top 53 bits, no library distribution
  auto u = [&gen] { return static_cast<double>(gen() >> 11) * 0x1.0p-53; };
  // K in 1 ... last drawn with weights w[K] by x in [0, their sum); 0 past it (none, or rounding).
  auto draw = [](const double* w, int last, double x) {
    int K = 0;
    while (K < last && x >= 0.0)
      x -= w[++K];
    return x < 0.0 ? K : 0;
  };
  for (int d = 0; d < kDecays; ++d) {
    // Without coincidences a peak counts its own photons recorded in it. With them it counts the
    // decays whose only signals are its x-ray, or its gamma or a chain of gammas bridging the
    // same two levels, all in their full-energy peaks; a lone photon counts in both.
    int seen = 0, top = 0, bottom = 0, isXray = 0;
    bool clean = true, chain = true;
    auto emit = [&](double peakEff, double totalEff, int upper, int lower, bool isGamma) {
      const double x = u();
      if (x >= totalEff) return;
      if (x < peakEff) t[!isGamma][upper][lower].n0 += 1.0;
      clean = clean && x < peakEff;
      chain = chain && isGamma && (seen == 0 || bottom == upper);
      if (seen++ == 0) top = upper, isXray = !isGamma;
      bottom = lower;
    };
    int J = draw(feed, st.NLEV, u() * feedSum);
    if (u() < capture[J]) emit(xPeak, xTotal, J, J, false);
    // A level without transitions ends the cascade like the ground state.
    for (int I = 0; J > 1 && (I = draw(p[J], J - 1, u())) > 0; J = I) {
      const double x = u();
      if (x < gamma[J][I])
        emit(peak[J][I], total[J][I], J, I, true);
      else if (x < gamma[J][I] + xray[J][I])
        emit(xPeak, xTotal, J, I, false);
    }
    if (seen == 0 || !clean || (seen > 1 && !chain)) continue;
    t[isXray][top][bottom].n1 += 1.0;
    t[isXray][top][bottom].both += seen == 1 ? 1.0 : 0.0;
  }
}

// Compares the program's counts and factors of the data set just computed with the simulation's.
void crossCheck(const tcsum::Store& st, const std::string& report) {
  const std::string name(st.DSNAME.begin(), st.DSNAME.end());
  SCOPED_TRACE(name);
  Count t[2][kL][kL];
  simulate(st, t);
  double sigmas = 0.0, effect = 0.0;  // largest deviation, and distance of a factor from 1, in sd
  auto compare = [&](const std::string& what, double sim, double sd, double program) {
    const double dev = std::fabs(sim - program);
    EXPECT_LE(dev, 4.0 * sd + 1e-4 * std::fabs(program))  // and the program's float rounding
        << what << ": simulated " << sim << " +- " << sd << ", program " << program;
    sigmas = std::max(sigmas, dev / sd);
  };
  // The mean of the factors r = n0 / n1 of some peaks weighted by n0, as the K x-ray row is formed
  // (for one peak its own factor): f = sum(n0^2 / n1) / sum(n0). Linearised, f moves by a sum over
  // the peaks of g0 dn0 + g1 dn1, g0 = (2r - f) / sum(n0), g1 = -r^2 / sum(n0); as n0 and n1 count
  // decays, 0 or 1 each, a term's variance is at most g0^2 n0 + g1^2 n1 + 2 g0 g1 both (for one
  // peak the delta-method value). The terms of several peaks are correlated (one decay can count
  // in several), and the sum of their sd bounds the sd of their sum whatever the correlations.
  auto compareFactor = [&](const std::string& what, const std::vector<Count>& cs, double program) {
    double s0 = 0.0, s1 = 0.0, sumN1 = 0.0, sd = 0.0;
    for (const Count& c : cs) {
      if (c.n1 == 0.0) return;
      s0 += c.n0, sumN1 += c.n1, s1 += c.n0 * c.n0 / c.n1;
    }
    if (std::min(s0, sumN1) < 100.0) return;  // too few for a ratio: left to the count checks
    const double f = s1 / s0;
    for (const Count& c : cs) {
      const double r = c.n0 / c.n1, g0 = (2.0 * r - f) / s0, g1 = -r * r / s0;
      sd += std::sqrt(std::max(g0 * g0 * c.n0 + g1 * g1 * c.n1 + 2.0 * g0 * g1 * c.both, 0.0));
    }
    compare(what + ", factor", f, sd, program);
    effect = std::max(effect, std::fabs(f - 1.0) / sd);
  };
  // Counts per 100 decays with binomial standard deviations, an empty one that of one count.
  auto check = [&](const std::string& what, const Count& c, float rate0, float rate) {
    const double n = double{kDecays}, per100 = 100.0 / n;
    compare(what + ", count without coincidences", c.n0 * per100,
            std::sqrt(std::max(c.n0 * (1.0 - c.n0 / n), 1.0)) * per100, double{rate0});
    compare(what + ", count", c.n1 * per100,
            std::sqrt(std::max(c.n1 * (1.0 - c.n1 / n), 1.0)) * per100, double{rate});
    compareFactor(what, {c}, double{rate0} / double{rate});
  };
  std::vector<Count> row;  // the contributions the program takes into its K x-ray row
  for (int J = 1; J <= st.NLEV; ++J) {
    for (int I = 1; I < J; ++I) {
      if (st.XTR(J, I) == 0.0f) continue;
      const std::string line = std::to_string(J) + "->" + std::to_string(I);
      check("gamma " + line, t[0][J][I], st.RATE0(J, I), st.RATE(J, I));
      if (st.ALPHAK(J, I) == 0.0f) continue;
      check("K x-ray of " + line, t[1][J][I], st.XRATE0(J, I), st.XRATE(J, I));
      if (st.RATE(J, I) != 0.0f && st.XRATE(J, I) != 0.0f) row.push_back(t[1][J][I]);
    }
    if (!tcsum::isElectronCapture(st)) continue;
    check("K x-ray of capture into " + std::to_string(J), t[1][J][J], st.ECRATE0(J), st.ECRATE(J));
    if (st.ECRATE(J) != 0.0f) row.push_back(t[1][J][J]);
  }
  if (!row.empty()) {  // the K x-ray row is the last record written so far
    const std::size_t end = report.rfind("\r\n"), start = report.rfind("\r\n", end - 1) + 2;
    double energy = 0.0, count = 0.0, xkorr = 0.0;
    std::istringstream(report.substr(start, end - start)) >> energy >> count >> xkorr;
    EXPECT_NEAR(energy, double{st.EX}, 5e-4) << "no K x-ray row";
    compareFactor("K x-ray row", row, xkorr);
  }
  std::printf("[ simulated] %s: largest deviation %.2f sd, summing effect %.0f sd\n", name.c_str(),
              sigmas, effect);
  EXPECT_GT(effect, 20.0);  // summing must stand far above the noise for a pass to mean anything
}

// Close geometry, so that summing moves every factor far beyond the noise: a crossover 3->1 beside
// 3->2->1 with a converted 2->1; electron capture into every level and a strongly converted 2->1.
constexpr const char* kSynthetic = R"(
      10.0     300.0     290.0          11        ENLARGED CLOSE GEOMETRY
      20.0     500.0     480.0          1
      50.0     560.0     520.0          1
     200.0     550.0     330.0          1
    1000.0     460.0     100.0          1
    3000.0     390.0      45.0          1
    4000.0     370.0      35.0          0
CROSSOVR  B-              30.0       0.8
       0.0       0.0
     150.0      10.0
     900.0      90.0
       0.0
 2 1           150.0      50.0       0.4       0.3
 3 1           900.0      30.0
 3 2           750.0      60.0
33 1
CAPTURE   EC              25.0      0.85
       0.0      10.0      0.85
      88.0      20.0      0.82
     400.0      70.0      0.78
       0.0
 2 1            88.0      24.3       1.5       1.2
 3 1           400.0      28.5      0.01     0.008
 3 2           312.0      40.0      0.02     0.017
33 1
E
)";

// Then the Ba-133 and Co-60 examples. Their weakest peaks (Co-60 crossovers and x-rays, Ba-133
// 4->3 x-rays, and so the Co-60 K x-ray row) are compared by their counts alone.
TEST(SummingSimulation, CountsAndFactorsAgreeWithTheSimulation) {
  const std::string examples = TCSUM_SOURCE_DIR "/examples/";
  std::istringstream synthetic(kSynthetic + 1);
  std::ifstream ba133(examples + "ba133/TALVEN"), co60(examples + "co60/TALVEN");
  std::istream* inputs[] = {&synthetic, &ba133, &co60};
  int schemes = 0;
  for (std::istream* data : inputs) {
    ASSERT_TRUE(*data) << "cannot read the examples under " << examples;
    auto store = std::make_unique<tcsum::Store>();
    tcsum::Report report;
    tcsum::run(*store, *data, report, tcsum::localDate, [&](const tcsum::Store& st) {
      crossCheck(st, report.contents());
      ++schemes;
    });
  }
  EXPECT_EQ(schemes, 4);
}

}  // namespace
