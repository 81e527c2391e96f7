#include "efficiency/eps.hpp"

#include "efficiency/quipol.hpp"
#include "efficiency/roundedmath.hpp"

namespace tcsum {

namespace {
constexpr float kScale = 0.001f;        // table values are per mille
constexpr float kLinearBelow = 50.0f;   // straight lines below this energy
constexpr float kLinearBelow7 = 81.0f;  // ... and below this one for detector code 7
constexpr int32_t kWideLinearDetector = 7;
constexpr float kLogLogAbove = 200.0f;  // log-log quadratic above this energy
}  // namespace

void buildLogTable(Store& s) {
  for (int32_t j = 1; j <= 3; ++j) {
    s.ELOG(j, 1) = roundedLog10(s.EFF(j, 2) / 2.0f);
    for (int32_t i = 2; i <= s.NEFF; ++i)
      s.ELOG(j, i) = roundedLog10(s.EFF(j, i));
  }
  // QUIPOL searches tables of three points or more.
  s.effStep = s.NEFF >= 3 ? leastAbscissaStep(s.EFF.row(1, s.NEFF)) : 0.0f;
  s.elogStep = s.NEFF >= 3 ? leastAbscissaStep(s.ELOG.row(1, s.NEFF)) : 0.0f;
}

EfficiencyRange epsRange(const Store& s, float E, int32_t MODE) {
  if (E == 0.0f) return EfficiencyRange::zero;
  if ((s.KDET == kWideLinearDetector && E < kLinearBelow7) || E < kLinearBelow)
    return EfficiencyRange::straightLine;
  if (E > kLogLogAbove && MODE == 2) return EfficiencyRange::logLog;
  return EfficiencyRange::quadratic;
}

namespace {

// The first point at or above E; NEFF + 1 (the record that closed the block)
// when E lies above every counted point.
int32_t firstPointAtOrAbove(const Store& s, float E) {
  int32_t i = 1;
  while (i <= s.NEFF && !(E <= s.EFF(1, i)))
    ++i;
  return i;
}

// The straight line of row ROW (2 total, 3 peak) at E below point I, that is
// firstPointAtOrAbove(s, E). At or below the first point, the first segment
// is extended downwards and may not give a negative efficiency.
float straightLine(const Store& s, float E, int32_t i, int32_t row) {
  const bool belowTable = (i == 1);
  if (belowTable) i = 2;
  const float dE = s.EFF(1, i) - s.EFF(1, i - 1);
  const float dY = s.EFF(row, i) - s.EFF(row, i - 1);
  float result = ((E - s.EFF(1, i - 1)) * dY / dE + s.EFF(row, i - 1)) * kScale;
  if (belowTable && result < 0.0f) result = 0.0f;
  return result;
}

// The quadratic at E: VAL(2) total, VAL(3) peak, per mille.
Vec<float, 3> quadratic(const Store& s, float E) {
  Vec<float, 3> VAL;
  float extra = 0.0f;  // how far QUIPOL extrapolated; not needed here
  VAL(1) = E;
  QUIPOL(s.EFF, VAL, 3, s.NEFF, extra, s.effStep);
  return VAL;
}

// A value of the quadratic as an efficiency; negative ones are 0.
float fromQuadratic(float value) {
  const float result = value * kScale;
  return result < 0.0f ? 0.0f : result;
}

// The full-energy-peak efficiency of the log-log range.
float logLogPeak(const Store& s, float E) {
  Vec<float, 3> VAL;
  float extra = 0.0f;
  VAL(1) = roundedLog10(E);
  QUIPOL(s.ELOG, VAL, 3, s.NEFF, extra, s.elogStep);
  return roundedPow10(VAL(3)) * kScale;
}

}  // namespace

float EPS(const Store& s, float E, int32_t MODE) {
  const int32_t row = MODE + 1;
  switch (epsRange(s, E, MODE)) {
    case EfficiencyRange::zero:
      return 0.0f;
    case EfficiencyRange::straightLine:
      return straightLine(s, E, firstPointAtOrAbove(s, E), row);
    case EfficiencyRange::logLog:
      return logLogPeak(s, E);
    case EfficiencyRange::quadratic:
      break;
  }
  return fromQuadratic(quadratic(s, E)(row));
}

Efficiencies efficienciesAt(const Store& s, float E) {
  // The total efficiency takes its value from the peak's range, except that
  // it stays quadratic where the peak's turns log-log.
  switch (epsRange(s, E, 2)) {
    case EfficiencyRange::zero:
      return {0.0f, 0.0f};
    case EfficiencyRange::straightLine: {
      const int32_t i = firstPointAtOrAbove(s, E);
      return {straightLine(s, E, i, 2), straightLine(s, E, i, 3)};
    }
    case EfficiencyRange::logLog:
      return {fromQuadratic(quadratic(s, E)(2)), logLogPeak(s, E)};
    case EfficiencyRange::quadratic:
      break;
  }
  const Vec<float, 3> VAL = quadratic(s, E);
  return {fromQuadratic(VAL(2)), fromQuadratic(VAL(3))};
}

}  // namespace tcsum
