#include "report/format.hpp"

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

// Fw.d with d <= 6 of a finite value below 10^9 in magnitude, without
// to_chars: the float's 24-bit significand times 10^d = 2^d * 5^d (5^6 < 2^14)
// fits a double exactly, so the scaled value and its rounding to an integer,
// halfway cases to even, are exact and give the same digits. Returns false
// when the value is out of that range.
bool fixedDigits(std::string& out, int32_t w, int32_t d, float value) {
  static constexpr double kPower[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
  if (d < 0 || d > 6 || !(std::fabs(value) < 1e9f)) return false;
  const double scaled = std::fabs(static_cast<double>(value)) * kPower[d];
  const double whole = std::floor(scaled);
  auto n = static_cast<uint64_t>(whole);
  const double rest = scaled - whole;
  if (rest > 0.5 || (rest == 0.5 && n % 2 == 1)) ++n;

  // Digits from the last decimal up, at least one before the point.
  std::array<char, 24> buffer;
  auto p = buffer.end();
  for (int32_t k = 0; k <= d || n != 0; ++k) {
    if (k == d && d > 0) *--p = '.';
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  if (std::signbit(value)) *--p = '-';
  place(out, w, {p, static_cast<std::size_t>(buffer.end() - p)});
  return true;
}

}  // namespace

void appendI(std::string& out, int32_t w, int32_t value) {
  std::array<char, 16> buffer;
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  place(out, w, {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())});
}

void appendF(std::string& out, int32_t w, int32_t d, float value) {
  if (!std::isfinite(value)) {
    placeNonFinite(out, w, value);
    return;
  }
  if (fixedDigits(out, w, d, value)) return;
  // The largest float has 39 integer digits; the report asks for at most 6 decimals.
  std::array<char, 64> buffer;
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                              std::chars_format::fixed, d);
  if (result.ec != std::errc()) {
    out.append(static_cast<std::size_t>(w), '*');
    return;
  }
  place(out, w, {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())});
}

void appendE(std::string& out, int32_t w, int32_t d, float value) {
  if (!std::isfinite(value)) {
    placeNonFinite(out, w, value);
    return;
  }
  std::array<char, 64> buffer;
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                              std::chars_format::scientific, d);
  if (result.ec != std::errc()) {
    out.append(static_cast<std::size_t>(w), '*');
    return;
  }
  // to_chars writes the exponent as e, its sign and at least two digits.
  for (char* c = buffer.data(); c != result.ptr; ++c) {
    if (*c == 'e') *c = 'E';
  }
  place(out, w, {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())});
}

}  // namespace tcsum
