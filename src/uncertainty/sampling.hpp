#pragma once
// Random numbers and summary statistics for the Monte Carlo propagation of
// uncertainties. Every sample draws from its own stream, fixed by the seed
// and the sample's number alone, so the samples come out the same whichever
// thread computes them and in whatever order.
#include <cstdint>
#include <vector>

namespace tcsum {

class SampleStream {
 public:
  SampleStream(uint64_t seed, uint64_t sample);
  // Uniform on (0, 1].
  double uniform();
  // Standard normal (Box-Muller; the second deviate of each pair is kept
  // for the next call).
  double normal();

 private:
  uint64_t state_;
  double spare_ = 0.0;
  bool haveSpare_ = false;
};

// A log-normal factor with mean 1 and relative standard deviation U, for the
// standard normal deviate Z; 1 exactly when U is 0.
double logNormalFactor(double u, double z);

struct SampleSummary {
  double mean;
  double standard;  // standard deviation (divisor n - 1; 0 for one value)
  double low95;     // shortest interval holding 95 % of the values
  double high95;
};

// The summary of VALUES, which it reorders; NaN throughout when a value is
// not finite or there are none.
SampleSummary summarise(std::vector<float>& values);

}  // namespace tcsum
