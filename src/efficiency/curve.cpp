#include "efficiency/curve.hpp"

#include <algorithm>
#include <cmath>

#include "efficiency/eps.hpp"

namespace tcsum {

std::vector<CurveSample> efficiencyCurve(const Store& s) {
  if (s.NEFF < 2 || !(s.EFF(1, 1) > 0.0f)) return {};
  for (int32_t i = 2; i <= s.NEFF; ++i)
    if (!(s.EFF(1, i) > s.EFF(1, i - 1)) || !std::isfinite(s.EFF(1, i))) return {};
  const float first = s.EFF(1, 1);
  const float last = s.EFF(1, s.NEFF);

  // Energies: the decades around the table, its points, and the boundaries
  // of the ranges with the float just below each.
  const double lowDecade = std::floor(std::log10(static_cast<double>(first)));
  const double highDecade = std::ceil(std::log10(static_cast<double>(last)));
  const auto steps =
      static_cast<int32_t>(std::lround((highDecade - lowDecade) * kCurveSamplesPerDecade));
  std::vector<float> energies;
  energies.reserve(static_cast<std::size_t>(steps) + 40);
  for (int32_t k = 0; k <= steps; ++k)
    energies.push_back(static_cast<float>(
        std::pow(10.0, lowDecade + static_cast<double>(k) / kCurveSamplesPerDecade)));
  for (int32_t i = 1; i <= s.NEFF; ++i)
    energies.push_back(s.EFF(1, i));
  for (float boundary : {50.0f, 81.0f, 200.0f}) {
    energies.push_back(boundary);
    energies.push_back(std::nextafter(boundary, 0.0f));
    energies.push_back(std::nextafter(boundary, 1e30f));
  }
  const float low = energies.front();
  const float high = energies[static_cast<std::size_t>(steps)];
  std::erase_if(energies, [&](float e) { return e < low || e > high; });
  std::sort(energies.begin(), energies.end());
  energies.erase(std::unique(energies.begin(), energies.end()), energies.end());

  std::vector<CurveSample> curve;
  curve.reserve(energies.size());
  for (float e : energies) {
    curve.push_back({e, EPS(s, e, 1), EPS(s, e, 2), epsRange(s, e, 1), epsRange(s, e, 2),
                     e < first || e > last});
  }
  return curve;
}

}  // namespace tcsum
