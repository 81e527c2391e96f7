#pragma once
// The base-10 logarithm and the power of ten of a float, correctly rounded:
// the float nearest to the exact value (ties to even), whatever C library
// the program is linked with.
//
// Both are evaluated in double and rounded once to float. That single
// rounding is right unless the exact value lies so close to the midpoint
// between two floats that the error of the double evaluation may carry it
// across; those inputs are few, known in advance and answered from a table.
// The table holds every input whose exact value lies within kMidpointWindow
// (relative) of a midpoint, so the result is correct with any double
// logarithm and power whose error stays below that window, a margin of about
// thirty units in the last place over what C libraries deliver.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

namespace tcsum {

// log10(x) rounded to float. Zero gives -infinity, a negative x or NaN
// gives NaN, +infinity gives +infinity.
float roundedLog10(float x);

// 10^x rounded to float: +infinity above the float range, 0 below it.
float roundedPow10(float x);

namespace roundedmath {

// Relative distance from a midpoint below which the double evaluation is not
// trusted to decide the rounding.
inline constexpr double kMidpointWindow = 0x1p-47;

// An input whose exact result lies within the window of a midpoint, with its
// correctly rounded result.
struct HardCase {
  float x;
  float result;
};

// The hard cases of each function, in ascending x.
std::span<const HardCase> log10HardCases();
std::span<const HardCase> pow10HardCases();

// The double results of the two functions before rounding.
double log10Double(float x);
double pow10Double(float x);

// Y, the double result of the function for X, rounded to float, with the
// result from CASES instead when X is one of them.
float roundOnce(float x, double y, std::span<const HardCase> cases);

// Halfway between FLT_MAX and 2^128: from here on a value rounds to infinity.
inline constexpr double kOverflowMidpoint = 0x1.ffffffp127;

// Whether Y lies within WINDOW (relative) of the midpoint between two floats,
// the one between FLT_MAX and 2^128 and the one between 0 and the smallest
// subnormal included. Real is double, or a wider type for the tests.
template <typename Real>
bool nearMidpoint(Real y, double window = kMidpointWindow) {
  const Real a = y < 0 ? -y : y;
  const Real overflow = static_cast<Real>(kOverflowMidpoint);
  if (!(a < static_cast<Real>(std::numeric_limits<double>::max()))) return false;
  Real midpoint = overflow;
  if (a < overflow) {
    const float f = static_cast<float>(a);
    const Real exact = static_cast<Real>(f);
    if (exact == a) return false;  // a float itself
    // The neighbour of f on the side of a; the mean of two neighbouring
    // floats is exact in any binary type of at least double precision.
    if (exact > a) {
      midpoint = (exact + static_cast<Real>(std::nextafter(f, 0.0f))) / 2;
    } else if (f != std::numeric_limits<float>::max()) {
      midpoint =
          (exact + static_cast<Real>(std::nextafter(f, std::numeric_limits<float>::infinity()))) /
          2;
    }
  }
  const Real distance = a > midpoint ? a - midpoint : midpoint - a;
  return distance <= a * static_cast<Real>(window);
}

// A quick test that holds wherever nearMidpoint(y) does, and at a few more y,
// which only cost roundOnce a look at the table. Where 2^e <= |y| < 2^(e+1),
// -126 <= e <= 127, the floats lie 2^29 units u = 2^(e-52) of Y's last place
// apart, so the 29 low bits B of Y's significand give |y| = t + B u with t a
// float, and the midpoint nearest |y| is t + 2^28 u (kOverflowMidpoint for
// t = FLT_MAX). The window of nearMidpoint is |y| 2^-47 < 2^(e+1-47) = 2^6 u,
// so nearMidpoint(y) implies |B - 2^28| < 2^6, well inside kNearMidpointBits.
// Every other Y (0, below the normal floats, beyond the float range, infinite
// or NaN) takes nearMidpoint itself.
inline constexpr int64_t kNearMidpointBits = int64_t{1} << 8;
inline bool mayBeNearMidpoint(double y) {
  const auto bits = std::bit_cast<uint64_t>(y);
  const int exponent = static_cast<int>((bits >> 52) & 0x7ff) - 1023;
  if (exponent < -126 || exponent > 127) return nearMidpoint(y);
  constexpr int64_t kHalf = int64_t{1} << 28;
  const auto B = static_cast<int64_t>(bits & 0x1fffffff);
  return B - kHalf <= kNearMidpointBits && kHalf - B <= kNearMidpointBits;
}

}  // namespace roundedmath
}  // namespace tcsum
