#pragma once
// QUIPOL: interpolation in a table of points, each with one abscissa and
// M - 1 ordinates, by the quadratic through the three points that surround
// the abscissa most closely (a straight line when the table has two points).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "core/store.hpp"

namespace tcsum {

// Where the nearest-point scan of QUIPOL ends: at point I, on an exact hit,
// because the distance to x stopped shrinking there (point I - 1 or I is the
// nearest), or at the last point with the distance still shrinking.
struct ScanEnd {
  enum Kind { exactHit, stopped, lastPoint };
  Kind kind;
  int32_t I;
};

// The scan: walk up the abscissae X(1 ... N), N >= 2, while the distance to x,
// rounded to float, shrinks. Two points at the same rounded distance stop it.
inline ScanEnd scanForNearest(std::span<const float> abscissae, float x) {
  auto X = [abscissae](int32_t k) { return abscissae[static_cast<std::size_t>(k - 1)]; };
  const auto N = static_cast<int32_t>(abscissae.size());
  float DOLD = 0.0f;
  for (int32_t I = 1;; ++I) {
    const float D = std::fabs(X(I) - x);
    if (D == 0.0f) return {ScanEnd::exactHit, I};
    if (I > 1 && D >= DOLD) return {ScanEnd::stopped, I};
    if (I == N) return {ScanEnd::lastPoint, I};
    DOLD = D;
  }
}

// The end of the same scan, found by bisection where that is sure to agree
// with it: LEASTSTEP is leastAbscissaStep of the same abscissae.
//
// With the abscissae ascending, the rounded distance D(k) = |X(k) - x| cannot
// grow while X(k) < x and cannot shrink from there on, as rounding keeps the
// order of the exact distances. So the scan ends at the first point at or
// above x, at the one after it or at N, unless it stops early at two points
// below x with the same rounded distance r. A difference of floats below
// 2^-125 is exact, so r is a normal float, and as both exact distances round
// to r the two points lie at most ulp(r) <= 2^-23 r <= 2^-23 D(1) apart. A
// step rounded to float exceeds the exact one by at most a factor 1 + 2^-24,
// so with 2^-22 D(1) below the least rounded step no two points lie that
// close. Otherwise (x or D(1) infinite or NaN included) the scan itself runs.
inline ScanEnd findNearest(std::span<const float> abscissae, float x, float leastStep) {
  const float D1 = std::fabs(abscissae.front() - x);
  if (!(static_cast<double>(D1) * 0x1p-22 < static_cast<double>(leastStep)))
    return scanForNearest(abscissae, x);

  auto X = [abscissae](int32_t k) { return abscissae[static_cast<std::size_t>(k - 1)]; };
  const auto N = static_cast<int32_t>(abscissae.size());
  // L points lie below x.
  const auto L = static_cast<int32_t>(std::lower_bound(abscissae.begin(), abscissae.end(), x) -
                                      abscissae.begin());
  if (L == N) return {ScanEnd::lastPoint, N};
  const float D = std::fabs(X(L + 1) - x);
  if (D == 0.0f) return {ScanEnd::exactHit, L + 1};
  if (L >= 1 && D >= std::fabs(X(L) - x)) return {ScanEnd::stopped, L + 1};
  if (L + 1 == N) return {ScanEnd::lastPoint, N};
  return {ScanEnd::stopped, L + 2};
}

// The least difference between neighbouring abscissae, each rounded to
// float; 0 unless they ascend strictly. Kept with the table, it lets QUIPOL
// find the nearest point by bisection.
inline float leastAbscissaStep(std::span<const float> abscissae) {
  if (abscissae.size() < 2) return 0.0f;
  float least = std::numeric_limits<float>::infinity();
  for (std::size_t k = 1; k < abscissae.size(); ++k) {
    const float step = abscissae[k] - abscissae[k - 1];
    if (!(step > 0.0f)) return 0.0f;
    least = std::min(least, step);
  }
  return least;
}

// Where and with which weights QUIPOL takes the ordinates at one abscissa x:
// all of the interpolation that depends on the abscissae and x alone, so that
// tables that share their abscissae share it too. Each weight is the very
// float the interpolation rounds on its way (a difference, or a Lagrange
// weight in its order), and quipolValue does the rest of the operations in
// their order, so a stencil reused for other ordinates gives their bits.
struct QuipolStencil {
  enum Kind { onePoint, line, atPoint, quadratic };
  Kind kind = onePoint;
  int32_t K = 1;  // atPoint: the point; quadratic: the first of the points K ... K + 2
  // line: x - X(1) and X(2) - X(1); quadratic: the Lagrange weights of K ... K + 2.
  float W1 = 0.0f;
  float W2 = 0.0f;
  float W3 = 0.0f;
  bool outside = false;  // x lies outside the table, EXTRA from it
  float extra = 0.0f;
};

// The stencil of x in a table of the abscissae X(1 ... N) (any N), each
// quantity computed by the operations of the interpolation itself. LEASTSTEP,
// when not 0, is leastAbscissaStep of the abscissae.
inline QuipolStencil quipolStencil(std::span<const float> abscissae, float x,
                                   float leastStep = 0.0f) {
  QuipolStencil st;
  const auto N = static_cast<int32_t>(abscissae.size());
  if (N <= 1) return st;  // a single point: its ordinates, whatever x
  auto X = [abscissae](int32_t k) { return abscissae[static_cast<std::size_t>(k - 1)]; };

  if (N == 2) {
    // Straight line through both points.
    st.kind = QuipolStencil::line;
    st.W1 = x - X(1);
    st.W2 = X(2) - X(1);
    if (x > X(2)) {
      st.outside = true;
      st.extra = (x - X(2)) / (X(2) - X(1));
    }
    if (x < X(1)) {
      st.outside = true;
      st.extra = (x - X(1)) / (X(2) - X(1));
    }
    return st;
  }

  // Nearest point: the scan walks up the table while the distance to x shrinks.
  const ScanEnd end = findNearest(abscissae, x, leastStep);
  const int32_t I = end.I;
  int32_t K = N - 2;
  if (end.kind == ScanEnd::exactHit) {
    st.kind = QuipolStencil::atPoint;
    st.K = I;
    return st;
  }
  if (end.kind == ScanEnd::stopped) {
    // Point I - 1 is the nearest (or x lies midway between I - 1 and I).
    if (I == 2 || x < X(2)) {
      K = 1;
    } else if (x > X(N - 1)) {
      K = N - 2;
    } else {
      K = I - 2;
      // Shift left when the point two below the nearest is closer to x
      // than the point above it, then right in the mirror case.
      if (x < X(K + 1) && (x - X(K - 1)) < (X(K + 2) - x)) K = K - 1;
      if (x > X(K + 1) && (X(K + 3) - x) < (x - X(K))) K = K + 1;
    }
  }

  // Lagrange weights of the points K, K + 1, K + 2.
  const float x1 = X(K);
  const float x2 = X(K + 1);
  const float x3 = X(K + 2);
  st.kind = QuipolStencil::quadratic;
  st.K = K;
  st.W1 = (x2 - x) * ((x3 - x) / (x3 - x1)) / (x2 - x1);
  st.W2 = (x1 - x) * ((x3 - x) / (x3 - x2)) / (x1 - x2);
  st.W3 = (x1 - x) * ((x2 - x) / (x2 - x3)) / (x1 - x3);

  if (x > X(N)) {
    st.outside = true;
    st.extra = (x - X(N)) / (X(N) - X(N - 2));
  }
  if (x < X(1)) {
    st.outside = true;
    st.extra = (x - X(1)) / (X(3) - X(1));
  }
  return st;
}

// The stencil of x in the table TAB of N points (abscissae in row 1); the
// points are checked against the store once, and N beyond it ends the run.
template <int32_t R, int32_t C>
QuipolStencil quipolStencil(const Mat<float, R, C>& TAB, int32_t N, float x,
                            float leastStep = 0.0f) {
  return N <= 1 ? QuipolStencil{} : quipolStencil(TAB.row(1, N), x, leastStep);
}

// Ordinate row J of TAB interpolated with the stencil ST.
template <int32_t R, int32_t C>
[[gnu::always_inline]] inline float quipolValue(const Mat<float, R, C>& TAB, int32_t j,
                                                const QuipolStencil& st) {
  switch (st.kind) {
    case QuipolStencil::onePoint:
      return TAB(j, 1);
    case QuipolStencil::line:
      return TAB(j, 1) + (TAB(j, 2) - TAB(j, 1)) * st.W1 / st.W2;
    case QuipolStencil::atPoint:
      return TAB(j, st.K);
    case QuipolStencil::quadratic:
      break;
  }
  const int32_t K = st.K;
  return st.W3 * TAB(j, K + 2) + (st.W1 * TAB(j, K) + st.W2 * TAB(j, K + 1));
}

// TAB(1,k) is the abscissa of point k, TAB(2..M,k) its ordinates; the
// abscissae ascend strictly. VAL(1) is the abscissa x on entry; VAL(2..M)
// receive the interpolated ordinates. EXTRA receives how far outside the
// table x lies, in units of the end intervals, and is left alone when x lies
// inside it. Every intermediate value is a float. LEASTSTEP, when given, is
// leastAbscissaStep of the abscissae 1 ... N.
template <int32_t R, int32_t C>
void QUIPOL(const Mat<float, R, C>& TAB, Vec<float, R>& VAL, int32_t M, int32_t N, float& EXTRA,
            float leastStep = 0.0f) {
  const QuipolStencil st = quipolStencil(TAB, N, VAL(1), leastStep);
  for (int32_t j = 2; j <= M; ++j)
    VAL(j) = quipolValue(TAB, j, st);
  if (st.outside) EXTRA = st.extra;
}

}  // namespace tcsum
