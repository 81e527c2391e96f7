#include "report/format.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace tcsum {

namespace {

// Writes REPRESENTATION right-aligned in W columns, or W asterisks when it
// does not fit.
void place(std::string& out, int32_t w, std::string_view representation) {
  const auto width = static_cast<std::size_t>(w);
  if (representation.size() > width) {
    out.append(width, '*');
    return;
  }
  out.append(width - representation.size(), ' ');
  out += representation;
}

// A value that is not a number or is infinite: NaN, Infinity or -Infinity
// when the field is wide enough, else Inf or -Inf, else asterisks.
void placeNonFinite(std::string& out, int32_t w, float value) {
  if (std::isnan(value)) {
    place(out, w, "NaN");
    return;
  }
  const bool negative = std::signbit(value);
  std::string_view full = negative ? "-Infinity" : "Infinity";
  std::string_view brief = negative ? "-Inf" : "Inf";
  place(out, w, full.size() <= static_cast<std::size_t>(w) ? full : brief);
}

// A number written from its last character to its first, right-aligned in a
// row of blanks, so that the field goes to the report in one piece.
class RightAligned {
 public:
  RightAligned() { row_.fill(' '); }
  void put(char c) { row_[--first_] = c; }
  void putDigit(uint64_t digit) { put(static_cast<char>('0' + digit)); }

  // Appends the number in W columns, or W asterisks when it does not fit.
  void appendTo(std::string& out, int32_t w) const {
    const auto width = static_cast<std::size_t>(w);
    if (row_.size() - first_ > width) {
      out.append(width, '*');
    } else if (width <= row_.size()) {
      out.append(row_.data() + row_.size() - width, width);
    } else {
      out.append(width - row_.size(), ' ');
      out.append(row_.data(), row_.size());
    }
  }

 private:
  std::array<char, 32> row_;  // holds the longest number of the writers below
  std::size_t first_ = row_.size();
};

// Rounds a non-negative, exactly scaled value to an integer, halfway cases to
// even. Below 2^53 the whole part and the rest are exact too.
uint64_t roundHalfEven(double scaled) {
  const double whole = std::floor(scaled);
  auto n = static_cast<uint64_t>(whole);
  const double rest = scaled - whole;
  if (rest > 0.5 || (rest == 0.5 && n % 2 == 1)) ++n;
  return n;
}

// Exact powers of ten in a double.
constexpr double kPowerOfTen[] = {1e0, 1e1, 1e2, 1e3,  1e4,  1e5, 1e6,
                                  1e7, 1e8, 1e9, 1e10, 1e11, 1e12};

// Fw.d with d <= 6 of a finite value below 10^9 in magnitude, without
// to_chars: the float's 24-bit significand times 10^d = 2^d * 5^d (5^6 < 2^14)
// fits a double exactly, so the scaled value and its rounding to an integer,
// halfway cases to even, are exact and give the same digits. Returns false
// when the value is out of that range.
bool fixedDigits(std::string& out, int32_t w, int32_t d, float value) {
  if (d < 0 || d > 6 || !(std::fabs(value) < 1e9f)) return false;
  uint64_t n = roundHalfEven(std::fabs(static_cast<double>(value)) * kPowerOfTen[d]);

  // From the last decimal to the sign, at least one digit before the point
  // (at most 16 digits, the point and the sign).
  RightAligned number;
  for (int32_t k = 0; k < d; ++k) {
    number.putDigit(n % 10);
    n /= 10;
  }
  if (d > 0) number.put('.');
  do {
    number.putDigit(n % 10);
    n /= 10;
  } while (n != 0);
  if (std::signbit(value)) number.put('-');
  number.appendTo(out, w);
  return true;
}

// 1P Ew.d with 1 <= d <= 8 of a value from 10^(d-12) to below 10^(d+1) in
// magnitude, without to_chars. With the value's decimal exponent e, so that
// 10^e <= |value| < 10^(e+1), the d + 1 significant digits are
// |value| * 10^(d-e) rounded to an integer, halfway cases to even. There
// 0 <= d - e <= 12, and the float's 24-bit significand times
// 10^(d-e) = 2^(d-e) * 5^(d-e) (5^12 < 2^29) fits a double exactly, so the
// comparisons that find e, the scaling and the rounding are all exact and give
// to_chars' digits. Digits rounded up to 10^(d+1) are 1.00...0 of the next
// exponent. Returns false when the value is out of that range.
bool scientificDigits(std::string& out, int32_t w, int32_t d, float value) {
  if (d < 1 || d > 8) return false;
  const double magnitude = std::fabs(static_cast<double>(value));
  if (!(magnitude < kPowerOfTen[d + 1])) return false;
  // The smallest scaling by 10^(d-e) that brings d + 1 digits before the point.
  int32_t scale = 0;
  while (magnitude * kPowerOfTen[scale] < kPowerOfTen[d]) {
    if (++scale > 12) return false;
  }
  uint64_t n = roundHalfEven(magnitude * kPowerOfTen[scale]);
  int32_t exponent = d - scale;
  if (n == static_cast<uint64_t>(kPowerOfTen[d + 1])) {
    n /= 10;
    ++exponent;
  }

  // From the last exponent digit to the sign: -D.DDDE+XX (|exponent| <= 11).
  RightAligned number;
  const auto exponentDigits = static_cast<uint64_t>(exponent < 0 ? -exponent : exponent);
  number.putDigit(exponentDigits % 10);
  number.putDigit(exponentDigits / 10);
  number.put(exponent < 0 ? '-' : '+');
  number.put('E');
  for (int32_t k = 0; k < d; ++k) {
    number.putDigit(n % 10);
    n /= 10;
  }
  number.put('.');
  number.putDigit(n);
  if (std::signbit(value)) number.put('-');
  number.appendTo(out, w);
  return true;
}

}  // namespace

void appendI(std::string& out, int32_t w, int32_t value) {
  std::array<char, 16> buffer;
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  place(out, w, {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())});
}

namespace {

// A finite value in FORMAT with D decimals by std::to_chars, where the exact
// shortcuts above do not reach (the largest float has 39 integer digits).
void placeByToChars(std::string& out, int32_t w, int32_t d, float value, std::chars_format format) {
  std::array<char, 64> buffer;
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, d);
  if (result.ec != std::errc()) {
    out.append(static_cast<std::size_t>(w), '*');
    return;
  }
  // to_chars writes the exponent as e, its sign and at least two digits.
  std::replace(buffer.data(), result.ptr, 'e', 'E');
  place(out, w, {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())});
}

}  // namespace

void appendF(std::string& out, int32_t w, int32_t d, float value) {
  if (!std::isfinite(value)) {
    placeNonFinite(out, w, value);
  } else if (!fixedDigits(out, w, d, value)) {
    placeByToChars(out, w, d, value, std::chars_format::fixed);
  }
}

void appendE(std::string& out, int32_t w, int32_t d, float value) {
  if (!std::isfinite(value)) {
    placeNonFinite(out, w, value);
  } else if (!scientificDigits(out, w, d, value)) {
    placeByToChars(out, w, d, value, std::chars_format::scientific);
  }
}

}  // namespace tcsum
