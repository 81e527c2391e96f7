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

// Row J of ELOG from row J of EFF.
template <typename Table>
void buildLogRow(Table& s, int32_t j) {
  s.ELOG(j, 1) = roundedLog10(s.EFF(j, 2) / 2.0f);
  for (int32_t i = 2; i <= s.NEFF; ++i)
    s.ELOG(j, i) = roundedLog10(s.EFF(j, i));
}

template <typename Table>
void logOrdinates(Table& s) {
  buildLogRow(s, 2);
  buildLogRow(s, 3);
}

template <typename Table>
void logTable(Table& s) {
  buildLogRow(s, 1);
  logOrdinates(s);
  // QUIPOL searches tables of three points or more.
  s.effStep = s.NEFF >= 3 ? leastAbscissaStep(s.EFF.row(1, s.NEFF)) : 0.0f;
  s.elogStep = s.NEFF >= 3 ? leastAbscissaStep(s.ELOG.row(1, s.NEFF)) : 0.0f;
}

template <typename Table>
EfficiencyRange rangeAt(const Table& s, float E, int32_t MODE) {
  if (E == 0.0f) return EfficiencyRange::zero;
  if ((s.KDET == kWideLinearDetector && E < kLinearBelow7) || E < kLinearBelow)
    return EfficiencyRange::straightLine;
  if (E > kLogLogAbove && MODE == 2) return EfficiencyRange::logLog;
  return EfficiencyRange::quadratic;
}

// The first point at or above E; NEFF + 1 (the record that closed the block)
// when E lies above every counted point.
template <typename Table>
int32_t firstPointAtOrAbove(const Table& s, float E) {
  int32_t i = 1;
  while (i <= s.NEFF && !(E <= s.EFF(1, i)))
    ++i;
  return i;
}

// The segment of the straight line at E.
template <typename Table>
LineSegment segmentAt(const Table& s, float E) {
  LineSegment g;
  int32_t i = firstPointAtOrAbove(s, E);
  g.belowTable = (i == 1);
  if (g.belowTable) i = 2;
  g.upper = i;
  g.dE0 = E - s.EFF(1, i - 1);
  g.dE = s.EFF(1, i) - s.EFF(1, i - 1);
  return g;
}

// The straight line of row ROW (2 total, 3 peak) on segment G. At or below
// the first point, the first segment is extended downwards and may not give
// a negative efficiency.
template <typename Table>
float straightLine(const Table& s, const LineSegment& g, int32_t row) {
  const int32_t i = g.upper;
  const float dY = s.EFF(row, i) - s.EFF(row, i - 1);
  float result = (g.dE0 * dY / g.dE + s.EFF(row, i - 1)) * kScale;
  if (g.belowTable && result < 0.0f) result = 0.0f;
  return result;
}

template <typename Table>
QuipolStencil quadraticStencil(const Table& s, float E) {
  return quipolStencil(s.EFF, s.NEFF, E, s.effStep);
}

template <typename Table>
QuipolStencil logLogStencil(const Table& s, float E) {
  return quipolStencil(s.ELOG, s.NEFF, roundedLog10(E), s.elogStep);
}

// A value of the quadratic as an efficiency; negative ones are 0.
float fromQuadratic(float value) {
  const float result = value * kScale;
  return result < 0.0f ? 0.0f : result;
}

// The full-energy-peak efficiency of the log-log range.
template <typename Table>
float logLogPeak(const Table& s, const QuipolStencil& st) {
  return roundedPow10(quipolValue(s.ELOG, 3, st)) * kScale;
}

// The efficiencies in RANGE from the stencils that GET gives: line(),
// quadratic() and logLog(), each asked for only where the range needs it.
// The total efficiency takes its value from the peak's range, except that it
// stays quadratic where the peak's turns log-log.
template <typename Table, typename Stencils>
[[gnu::always_inline]] inline Efficiencies combine(const Table& s, EfficiencyRange range,
                                                   const Stencils& get) {
  switch (range) {
    case EfficiencyRange::zero:
      return {0.0f, 0.0f};
    case EfficiencyRange::straightLine: {
      const LineSegment& g = get.line();
      return {straightLine(s, g, 2), straightLine(s, g, 3)};
    }
    case EfficiencyRange::logLog:
      return {fromQuadratic(quipolValue(s.EFF, 2, get.quadratic())), logLogPeak(s, get.logLog())};
    case EfficiencyRange::quadratic:
      break;
  }
  const QuipolStencil& q = get.quadratic();
  return {fromQuadratic(quipolValue(s.EFF, 2, q)), fromQuadratic(quipolValue(s.EFF, 3, q))};
}

// The stencils at E, made when asked for.
template <typename Table>
struct StencilsAt {
  const Table& s;
  float E;
  LineSegment line() const { return segmentAt(s, E); }
  QuipolStencil quadratic() const { return quadraticStencil(s, E); }
  QuipolStencil logLog() const { return logLogStencil(s, E); }
};

// The stencils of a plan.
struct StencilsOf {
  const EfficiencyStencil& st;
  const LineSegment& line() const { return st.line; }
  const QuipolStencil& quadratic() const { return st.quadratic; }
  const QuipolStencil& logLog() const { return st.logLog; }
};

template <typename Table>
EfficiencyStencil stencilAt(const Table& s, float E) {
  EfficiencyStencil st;
  st.range = rangeAt(s, E, 2);
  switch (st.range) {
    case EfficiencyRange::zero:
      break;
    case EfficiencyRange::straightLine:
      st.line = segmentAt(s, E);
      break;
    case EfficiencyRange::logLog:
      st.logLog = logLogStencil(s, E);
      [[fallthrough]];
    case EfficiencyRange::quadratic:
      st.quadratic = quadraticStencil(s, E);
      break;
  }
  return st;
}

template <typename Table>
Efficiencies bothAt(const Table& s, float E) {
  return combine(s, rangeAt(s, E, 2), StencilsAt<Table>{s, E});
}

}  // namespace

void buildLogOrdinates(Store& s) {
  logOrdinates(s);
}
void buildLogOrdinates(EfficiencyTable& t) {
  logOrdinates(t);
}
void buildLogTable(Store& s) {
  logTable(s);
}
void buildLogTable(EfficiencyTable& t) {
  logTable(t);
}

EfficiencyRange epsRange(const Store& s, float E, int32_t MODE) {
  return rangeAt(s, E, MODE);
}

EfficiencyStencil efficiencyStencil(const Store& s, float E) {
  return stencilAt(s, E);
}
EfficiencyStencil efficiencyStencil(const EfficiencyTable& t, float E) {
  return stencilAt(t, E);
}

Efficiencies efficienciesAt(const Store& s, const EfficiencyStencil& st) {
  return combine(s, st.range, StencilsOf{st});
}
Efficiencies efficienciesAt(const EfficiencyTable& t, const EfficiencyStencil& st) {
  return combine(t, st.range, StencilsOf{st});
}

Efficiencies efficienciesAt(const Store& s, float E) {
  return bothAt(s, E);
}
Efficiencies efficienciesAt(const EfficiencyTable& t, float E) {
  return bothAt(t, E);
}

// MODE 1 takes the total efficiency from the peak's range, which differs
// from its own only where the peak's is log-log and the total's quadratic.
float EPS(const Store& s, float E, int32_t MODE) {
  const Efficiencies both = efficienciesAt(s, E);
  return MODE == 1 ? both.total : both.peak;
}

EfficiencyTable efficiencyTableOf(const Store& s) {
  return {s.EFF, s.NEFF, s.KDET1, s.KDET, s.ELOG, s.effStep, s.elogStep};
}

void storeEfficiencyTable(const EfficiencyTable& t, Store& s) {
  s.EFF = t.EFF;
  s.NEFF = t.NEFF;
  s.KDET1 = t.KDET1;
  s.KDET = t.KDET;
  s.ELOG = t.ELOG;
  s.effStep = t.effStep;
  s.elogStep = t.elogStep;
}

}  // namespace tcsum
