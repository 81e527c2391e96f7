// The sample streams and the summary of a set of samples.
#include "uncertainty/sampling.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tcsum {
namespace {

TEST(SampleStream, IsFixedBySeedAndSampleNumberAlone) {
  SampleStream a(7, 41), b(7, 41), otherSample(7, 42), otherSeed(8, 41);
  const double first = a.normal();
  EXPECT_EQ(first, b.normal());
  EXPECT_EQ(a.normal(), b.normal());  // the spare deviate of the pair as well
  EXPECT_NE(first, otherSample.normal());
  EXPECT_NE(first, otherSeed.normal());
}

TEST(SampleStream, LogNormalFactorsHaveMeanOneAndTheGivenRelativeDeviation) {
  constexpr int n = 200000;
  constexpr double u = 0.2;
  double sum = 0.0, squares = 0.0;
  for (int i = 0; i < n; ++i) {
    SampleStream stream(1, static_cast<uint64_t>(i));
    const double f = logNormalFactor(u, stream.normal());
    ASSERT_GT(f, 0.0);
    sum += f;
    squares += f * f;
  }
  const double mean = sum / n;
  EXPECT_NEAR(mean, 1.0, 3e-3);
  EXPECT_NEAR(std::sqrt(squares / n - mean * mean), u, 3e-3);
  EXPECT_EQ(logNormalFactor(0.0, 2.5), 1.0);
}

TEST(Summarise, MeanDeviationAndTheShortestNotTheCentralInterval) {
  std::vector<float> four = {4.0f, 1.0f, 3.0f, 2.0f};
  const SampleSummary s4 = summarise(four);
  EXPECT_DOUBLE_EQ(s4.mean, 2.5);
  EXPECT_DOUBLE_EQ(s4.standard, std::sqrt(5.0 / 3.0));

  // Skewed: 100 values i^2, the interval between values 95 places apart. The
  // shortest starts at the lowest value; a central one would leave it out.
  std::vector<float> skewed;
  for (int i = 99; i >= 0; --i)
    skewed.push_back(static_cast<float>(i * i));
  const SampleSummary s = summarise(skewed);
  EXPECT_EQ(s.low95, 0.0);
  EXPECT_EQ(s.high95, 95.0 * 95.0);

  std::vector<float> one = {1.5f};
  EXPECT_EQ(summarise(one).standard, 0.0);
  EXPECT_EQ(summarise(one).high95, 1.5);

  std::vector<float> broken = {1.0f, NAN, 2.0f};
  EXPECT_TRUE(std::isnan(summarise(broken).standard));
  EXPECT_TRUE(std::isnan(summarise(broken).low95));
}

}  // namespace
}  // namespace tcsum
