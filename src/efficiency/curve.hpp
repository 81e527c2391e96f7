#pragma once
// The efficiency function sampled densely over the decades around the
// table, for drawing it exactly as the stages use it.
#include <cstdint>
#include <vector>

#include "core/result.hpp"
#include "core/store.hpp"

namespace tcsum {

// Samples per decade of energy, log-spaced: enough to show a quadratic's
// bend between neighbouring table points.
inline constexpr int32_t kCurveSamplesPerDecade = 240;

// EPS for both modes at log-spaced energies from the decade below the first
// table point to the decade above the last, at every table energy, and on
// both sides of every range boundary. Needs a table of at least two points
// with positive, strictly ascending energies (as the interpolation does);
// otherwise the result is empty. Reads ELOG: call buildLogTable first.
std::vector<CurveSample> efficiencyCurve(const Store& s);

}  // namespace tcsum
