#pragma once
// QUIPOL: interpolation in a table of points, each with one abscissa and
// M - 1 ordinates, by the quadratic through the three points that surround
// the abscissa most closely (a straight line when the table has two points).
#include <cmath>
#include <cstdint>

#include "core/store.hpp"

namespace tcsum {

// TAB(1,k) is the abscissa of point k, TAB(2..M,k) its ordinates; the
// abscissae ascend strictly. VAL(1) is the abscissa x on entry; VAL(2..M)
// receive the interpolated ordinates. EXTRA receives how far outside the
// table x lies, in units of the end intervals, and is left alone when x lies
// inside it. Every intermediate value is a float.
template <int32_t R, int32_t C>
void QUIPOL(const Mat<float, R, C>& TAB, Vec<float, R>& VAL, int32_t M, int32_t N, float& EXTRA) {
  const float x = VAL(1);
  auto X = [&TAB](int32_t k) { return TAB(1, k); };

  if (N <= 1) {
    // A single point: its ordinates, whatever x.
    for (int32_t j = 2; j <= M; ++j)
      VAL(j) = TAB(j, 1);
    return;
  }

  if (N == 2) {
    // Straight line through both points.
    for (int32_t j = 2; j <= M; ++j) {
      VAL(j) = TAB(j, 1) + (TAB(j, 2) - TAB(j, 1)) * (x - X(1)) / (X(2) - X(1));
    }
    if (x > X(2)) EXTRA = (x - X(2)) / (X(2) - X(1));
    if (x < X(1)) EXTRA = (x - X(1)) / (X(2) - X(1));
    return;
  }

  // Nearest-point scan: walk up the table while the distance to x shrinks.
  int32_t I = 1;
  int32_t K = 0;
  float DOLD = 0.0f;
  for (;;) {
    const float D = std::fabs(X(I) - x);
    if (D == 0.0f) {
      for (int32_t j = 2; j <= M; ++j)
        VAL(j) = TAB(j, I);
      return;
    }
    if (I > 1 && D >= DOLD) {
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
      break;
    }
    if (I == N) {
      K = N - 2;
      break;
    }
    DOLD = D;
    ++I;
  }

  // Lagrange weights of the points K, K + 1, K + 2.
  const float x1 = X(K);
  const float x2 = X(K + 1);
  const float x3 = X(K + 2);
  const float W1 = (x2 - x) * ((x3 - x) / (x3 - x1)) / (x2 - x1);
  const float W2 = (x1 - x) * ((x3 - x) / (x3 - x2)) / (x1 - x2);
  const float W3 = (x1 - x) * ((x2 - x) / (x2 - x3)) / (x1 - x3);
  for (int32_t j = 2; j <= M; ++j) {
    VAL(j) = W3 * TAB(j, K + 2) + (W1 * TAB(j, K) + W2 * TAB(j, K + 1));
  }

  if (x > X(N)) EXTRA = (x - X(N)) / (X(N) - X(N - 2));
  if (x < X(1)) EXTRA = (x - X(1)) / (X(3) - X(1));
}

}  // namespace tcsum
