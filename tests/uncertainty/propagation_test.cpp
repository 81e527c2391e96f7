// The Monte Carlo propagation of the efficiency table's uncertainty: against
// the closed form of a two-line cascade, against linear propagation from the
// sensitivities on every example, exactness without uncertainty, the
// recomputation from stencils made once, and the independence of the results
// from the number of threads.
#include "uncertainty/propagation.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "driver/run.hpp"
#include "outputs/json_writer.hpp"
#include "support/scheme.hpp"

namespace tcsum {
namespace {

// Fewer samples where the sanitizers slow everything down.
#ifdef __SANITIZE_ADDRESS__
constexpr int64_t kSamples = 1500;
#else
constexpr int64_t kSamples = 4000;
#endif

UncertaintyOptions options(float uTotal, float uPeak, int64_t samples, unsigned threads = 2,
                           EfficiencyCorrelation correlation = EfficiencyCorrelation::full) {
  return {{uTotal, uPeak, correlation, samples, kDefaultSeed}, threads, {}};
}

// The data sets of an example file, each analysed with OPTIONS.
std::vector<DataSetResult> analysedExample(const std::string& name, const UncertaintyOptions& o) {
  std::ifstream in(TCSUM_SOURCE_DIR "/examples/" + name + "/TALVEN", std::ios::binary);
  EXPECT_TRUE(in) << name;
  std::vector<DataSetResult> sets;
  RunOutputs out;
  out.analyse = [&o](const Store& asRead, DataSetResult& ds) {
    propagateEfficiencyUncertainty(asRead, ds, o);
  };
  out.dataSet = [&sets](const DataSetResult& ds, const PreparedTexts&) { sets.push_back(ds); };
  auto store = std::make_unique<Store>();
  run(*store, in, out);
  return sets;
}

// Every line of DS with its factor and uncertainty.
template <typename Check>
void forEachLine(const DataSetResult& ds, Check check) {
  for (const GammaLine& g : ds.gammas) {
    SCOPED_TRACE(std::to_string(g.upper) + " -> " + std::to_string(g.lower));
    ASSERT_TRUE(g.uncertainty);
    check(g.KORR, *g.uncertainty);
  }
  if (ds.xray) {
    SCOPED_TRACE("K x-ray");
    ASSERT_TRUE(ds.xray->uncertainty);
    check(ds.xray->KORR, *ds.xray->uncertainty);
  }
}

// Level 3 (fed in every decay) -> 2 -> 1 by gammas of 20 and 40 keV without
// conversion, whose total efficiencies are 0.2 and 0.4 on the test table:
// each line loses the counts in which its partner leaves a signal, so its
// factor is 1 / (1 - e) with e the partner's total efficiency, F (F - 1) u
// its standard uncertainty for a small relative uncertainty u of e, and
// F - 1 its sensitivity to the total efficiencies; the peak efficiencies
// cancel.
TEST(Propagation, TwoLineCascadeFollowsTheClosedForm) {
  const Store asRead =
      test::scheme({0.0f, 0.0f, 100.0f}, {{3, 2, 20.0f, 100.0f}, {2, 1, 40.0f, 100.0f}});
  Store work = asRead;
  Factors nominal;
  recomputeFactors(work, nominal);
  DataSetResult ds;
  ds.gammas = nominal.gammas;
  ASSERT_EQ(ds.gammas.size(), 2u);
  const double partnerTotal[] = {0.2, 0.4};  // of 2 -> 1, then of 3 -> 2

  constexpr double u = 0.01;
  propagateEfficiencyUncertainty(asRead, ds, options(1.0f, 3.0f, 5 * kSamples));
  for (int k = 0; k < 2; ++k) {
    const double F = 1.0 / (1.0 - partnerTotal[k]);
    const GammaLine& g = ds.gammas[static_cast<std::size_t>(k)];
    ASSERT_NEAR(g.KORR, F, 1e-6);
    EXPECT_NEAR(g.uncertainty->sensitivityTotal, F - 1.0, 1e-3);
    EXPECT_NEAR(g.uncertainty->sensitivityPeak, 0.0, 1e-3);
    EXPECT_NEAR(g.uncertainty->standard, F * (F - 1.0) * u, 0.03 * F * (F - 1.0) * u);
    EXPECT_NEAR(g.uncertainty->mean, F, 0.1 * F * (F - 1.0) * u);
    EXPECT_LT(g.uncertainty->low95, g.KORR);
    EXPECT_GT(g.uncertainty->high95, g.KORR);
  }

  // Point by point, 2 -> 1 sees e(20 keV) = 0.75 e(10 keV) + 0.25 e(50 keV) = 0.075 + 0.125
  // with independent errors: a relative uncertainty of u sqrt(0.075^2 + 0.125^2) / 0.2.
  ds.gammas = nominal.gammas;
  propagateEfficiencyUncertainty(asRead, ds,
                                 options(1.0f, 0.0f, 5 * kSamples, 2, EfficiencyCorrelation::none));
  const double F = 1.25, uPoint = u * std::sqrt(0.075 * 0.075 + 0.125 * 0.125) / 0.2;
  EXPECT_NEAR(ds.gammas[0].uncertainty->standard, F * (F - 1.0) * uPoint,
              0.03 * F * (F - 1.0) * uPoint);
}

// Without uncertainty every sample is the computation of the run itself,
// from the store as the data set was read: bit for bit the run's factors.
TEST(Propagation, WithoutUncertaintyEverySampleIsTheRunsOwnFactor) {
  for (const DataSetResult& ds : analysedExample("eu152ec", options(0.0f, 0.0f, 70))) {
    ASSERT_EQ(ds.reached, Stage::complete);
    ASSERT_TRUE(ds.xray);
    forEachLine(ds, [](float factor, const FactorUncertainty& u) {
      EXPECT_EQ(u.mean, factor);
      EXPECT_EQ(u.standard, 0.0f);
      EXPECT_EQ(u.low95, factor);
      EXPECT_EQ(u.high95, factor);
    });
  }
}

// The recomputation from stencils made once per data set gives the bits of
// the one without them, for a table whose efficiencies differ from the one
// the stencils were made from, point by point.
TEST(Propagation, PlannedRecomputationIsBitForBitTheFullOne) {
  int lines = 0;
  for (const char* name : {"eu152ec", "ba133", "y88"}) {
    std::ifstream in(TCSUM_SOURCE_DIR "/examples/" + std::string(name) + "/TALVEN",
                     std::ios::binary);
    RunOutputs out;
    out.analyse = [&](const Store& asRead, DataSetResult&) {
      auto plain = std::make_unique<Store>(asRead);
      buildLogTable(*plain);
      const RecomputePlan plan(*plain);
      for (int32_t k = 1; k <= kEffPoints; ++k) {
        plain->EFF(2, k) = plain->EFF(2, k) * (1.0f + 0.013f * static_cast<float>(k % 7));
        plain->EFF(3, k) = plain->EFF(3, k) * (1.0f - 0.011f * static_cast<float>(k % 5));
      }
      auto planned = std::make_unique<Store>(*plain);
      Factors full, fromPlan;
      recomputeFactors(*plain, full);
      recomputeFactors(*planned, fromPlan, &plan);
      auto bits = [](float v) { return std::bit_cast<uint32_t>(v); };
      ASSERT_EQ(full.rows.size(), fromPlan.rows.size());
      for (std::size_t k = 0; k < full.rows.size(); ++k) {
        EXPECT_EQ(bits(full.rows[k].EPSG), bits(fromPlan.rows[k].EPSG));
        EXPECT_EQ(bits(full.rows[k].EPSTG), bits(fromPlan.rows[k].EPSTG));
      }
      ASSERT_EQ(full.gammas.size(), fromPlan.gammas.size());
      for (std::size_t k = 0; k < full.gammas.size(); ++k, ++lines)
        EXPECT_EQ(bits(full.gammas[k].KORR), bits(fromPlan.gammas[k].KORR));
      ASSERT_EQ(full.xray.has_value(), fromPlan.xray.has_value());
      if (full.xray) {
        EXPECT_EQ(bits(full.xray->KORR), bits(fromPlan.xray->KORR));
      }
    };
    auto store = std::make_unique<Store>();
    run(*store, in, out);
  }
  EXPECT_GT(lines, 50);
}

TEST(Propagation, AgreesWithLinearPropagationOnEveryExample) {
  constexpr double u = 0.02;
  int lines = 0;
  for (const char* name : {"ba133", "co60", "cs134", "cs137", "eu152ec", "inconsistent", "y88"}) {
    SCOPED_TRACE(name);
    for (const DataSetResult& ds : analysedExample(name, options(2.0f, 2.0f, kSamples))) {
      forEachLine(ds, [&](float korr, const FactorUncertainty& fu) {
        const double factor = korr, St = fu.sensitivityTotal, Sp = fu.sensitivityPeak;
        const double linear = std::fabs(factor) * u * std::sqrt(St * St + Sp * Sp);
        EXPECT_NEAR(fu.standard, linear, 0.05 * linear + 1e-6 * std::fabs(factor));
        ++lines;
      });
    }
  }
  EXPECT_GT(lines, 100);
}

TEST(Propagation, ResultsDependOnTheSeedAloneNotOnTheThreads) {
  auto json = [](unsigned threads, uint64_t seed) {
    UncertaintyOptions o = options(8.0f, 4.0f, 150, threads, EfficiencyCorrelation::none);
    o.settings.seed = seed;
    std::string out;
    for (const DataSetResult& ds : analysedExample("eu152ec", o))
      JsonWriter::format(ds, out);
    return out;
  };
  const std::string one = json(1, 5);
  EXPECT_NE(one.find("\"interval95\""), std::string::npos);
  EXPECT_EQ(json(2, 5), one);
  EXPECT_EQ(json(3, 5), one);
  EXPECT_NE(json(2, 6), one);
}

}  // namespace
}  // namespace tcsum
