#include "uncertainty/sampling.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace tcsum {

namespace {

constexpr uint64_t kGolden = 0x9e3779b97f4a7c15ULL;

uint64_t mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

}  // namespace

// A splitmix64 sequence whose start is a hash of the seed and the sample's
// number: different samples start at unrelated points of the sequence.
SampleStream::SampleStream(uint64_t seed, uint64_t sample)
    : state_(mix(mix(seed + kGolden) ^ (sample * kGolden + 1))) {}

double SampleStream::uniform() {
  state_ += kGolden;
  return static_cast<double>((mix(state_) >> 11) + 1) * 0x1.0p-53;
}

double SampleStream::normal() {
  if (haveSpare_) {
    haveSpare_ = false;
    return spare_;
  }
  const double radius = std::sqrt(-2.0 * std::log(uniform()));
  const double angle = 2.0 * std::numbers::pi * uniform();
  spare_ = radius * std::sin(angle);
  haveSpare_ = true;
  return radius * std::cos(angle);
}

double logNormalFactor(double u, double z) {
  if (u == 0.0) return 1.0;
  const double variance = std::log1p(u * u);
  return std::exp(std::sqrt(variance) * z - variance / 2.0);
}

SampleSummary summarise(std::vector<float>& values) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  const std::size_t n = values.size();
  if (n == 0 ||
      !std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); }))
    return {nan, nan, nan, nan};

  double sum = 0.0;
  for (float v : values)
    sum += static_cast<double>(v);
  const double mean = sum / static_cast<double>(n);
  double squares = 0.0;
  for (float v : values) {
    const double d = static_cast<double>(v) - mean;
    squares += d * d;
  }
  const double standard = n > 1 ? std::sqrt(squares / static_cast<double>(n - 1)) : 0.0;

  // The shortest of the intervals [y(r), y(r + q)] between ordered values
  // with q = 0.95 n rounded; the first of equally short ones. Only the
  // n - q lowest and the n - q highest values need to be in order.
  const std::size_t q =
      std::min(static_cast<std::size_t>(0.95 * static_cast<double>(n) + 0.5), n - 1);
  const std::size_t starts = n - q;  // at most q, but for one value
  const auto first = values.begin();
  const auto at = [first](std::size_t k) { return first + static_cast<std::ptrdiff_t>(k); };
  if (starts <= q) {
    std::nth_element(first, at(starts), values.end());
    std::sort(first, at(starts));
    std::nth_element(at(starts), at(q), values.end());
    std::sort(at(q), values.end());
  }
  std::size_t best = 0;
  for (std::size_t r = 1; r < starts; ++r) {
    if (values[r + q] - values[r] < values[best + q] - values[best]) best = r;
  }
  return {mean, standard, static_cast<double>(values[best]), static_cast<double>(values[best + q])};
}

}  // namespace tcsum
