#include "report/format.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>

namespace tcsum {

namespace {

// Writes REPRESENTATION right-aligned in the W blanks at FIELD, or W
// asterisks when it does not fit.
void place(char* field, int32_t w, std::string_view representation) {
  const auto width = static_cast<std::size_t>(w);
  if (representation.size() > width) {
    std::memset(field, '*', width);
    return;
  }
  std::memcpy(field + width - representation.size(), representation.data(), representation.size());
}

// A value that is not a number or is infinite: NaN, Infinity or -Infinity
// when the field is wide enough, else Inf or -Inf, else asterisks.
void placeNonFinite(char* field, int32_t w, float value) {
  if (std::isnan(value)) {
    place(field, w, "NaN");
    return;
  }
  const bool negative = std::signbit(value);
  std::string_view full = negative ? "-Infinity" : "Infinity";
  std::string_view brief = negative ? "-Inf" : "Inf";
  place(field, w, full.size() <= static_cast<std::size_t>(w) ? full : brief);
}

// "00", "01" ... "99": two digits at a time.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int k = 0; k < 100; ++k) {
    pairs[static_cast<std::size_t>(2 * k)] = static_cast<char>('0' + k / 10);
    pairs[static_cast<std::size_t>(2 * k + 1)] = static_cast<char>('0' + k % 10);
  }
  return pairs;
}();

// Writes the last COUNT decimal digits of N (leading zeros included) so that
// they end before P; returns where they start.
char* putDigits(char* p, uint32_t n, int32_t count) {
  for (; count >= 2; count -= 2) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * (n % 100)], 2);
    n /= 100;
  }
  if (count == 1) *--p = static_cast<char>('0' + n % 10);
  return p;
}

int32_t digitCount(uint32_t n) {
  int32_t count = 1;
  for (; n >= 100; n /= 100)
    count += 2;
  return count + (n >= 10);
}

// Blanks the field first, the slack at least, so a number is then written
// from the field's end back.
void blank(char* field, int32_t w) {
  constexpr char kBlanks[kFieldSlack + 1] = "                                ";
  std::memcpy(field, kBlanks, kFieldSlack);
  if (static_cast<std::size_t>(w) > kFieldSlack)
    std::memset(field + kFieldSlack, ' ', static_cast<std::size_t>(w) - kFieldSlack);
}

// Fills the whole field with asterisks when the number needs more than W
// columns (LENGTH of them); false then.
bool fits(char* field, int32_t w, int32_t length) {
  if (length <= w) return true;
  std::memset(field, '*', static_cast<std::size_t>(w));
  return false;
}

// |value| * 10^P rounded to an integer, halfway cases to even, for P <= 12
// and a product below 2^63: the float is m * 2^e with a 24-bit integer m, and
// m * 10^P (below 2^64, as 10^12 < 2^40) shifted by e is exact, its rounding
// decided by the bits shifted out.
[[gnu::always_inline]] inline uint64_t scaledRounded(float value, int32_t P) {
  static constexpr uint64_t kPower[] = {
      1,        10,        100,        1000,        10000,        100000,       1000000,
      10000000, 100000000, 1000000000, 10000000000, 100000000000, 1000000000000};
  const uint32_t bits = std::bit_cast<uint32_t>(value) & 0x7FFFFFFFu;
  const uint32_t biased = bits >> 23;
  uint64_t m = bits & 0x7FFFFFu;
  int32_t e = -149;
  if (biased != 0) {
    m |= 0x800000u;
    e = static_cast<int32_t>(biased) - 150;
  }
  const uint64_t product = m * kPower[P];
  if (e >= 0) return product << e;
  const int32_t shift = -e;
  if (shift >= 64) return shift == 64 && product > (uint64_t{1} << 63) ? 1 : 0;
  uint64_t n = product >> shift;
  const uint64_t rest = product & ((uint64_t{1} << shift) - 1);
  const uint64_t half = uint64_t{1} << (shift - 1);
  if (rest > half || (rest == half && n % 2 == 1)) ++n;
  return n;
}

// Exact powers of ten in a double and as integers.
constexpr double kPowerOfTen[] = {1e0, 1e1, 1e2, 1e3,  1e4,  1e5, 1e6,
                                  1e7, 1e8, 1e9, 1e10, 1e11, 1e12};
constexpr uint32_t kIntegerPowerOfTen[] = {1,      10,      100,      1000,      10000,
                                           100000, 1000000, 10000000, 100000000, 1000000000};

// Fw.d with d <= 6 of a finite value below 10^9 in magnitude, without
// to_chars: the scaled value |value| * 10^d is below 2^50 and its rounding
// to an integer, halfway cases to even, is exact and gives the same digits
// (scaledRounded). D is a constant
// here, so the divisions by 10^d are multiplications.
template <int32_t D>
void fixedDigits(char* field, int32_t w, float value) {
  constexpr uint64_t kScale = kIntegerPowerOfTen[D];
  const uint64_t n = scaledRounded(value, D);
  // The whole part is at most 10^9, the decimals below 10^6.
  const auto whole = static_cast<uint32_t>(n / kScale);
  const auto decimals = static_cast<uint32_t>(n % kScale);
  const bool negative = std::signbit(value);
  const int32_t wholeDigits = digitCount(whole);
  const int32_t length = negative + wholeDigits + (D > 0 ? D + 1 : 0);
  if (!fits(field, w, length)) return;
  char* p = field + w;
  if constexpr (D > 0) {
    p = putDigits(p, decimals, D);
    *--p = '.';
  }
  p = putDigits(p, whole, wholeDigits);
  if (negative) *--p = '-';
}

// The above for any d; false when d or the value is out of its range.
bool fixedDigits(char* field, int32_t w, int32_t d, float value) {
  if (!(std::fabs(value) < 1e9f)) return false;
  switch (d) {
    case 0:
      fixedDigits<0>(field, w, value);
      return true;
    case 1:
      fixedDigits<1>(field, w, value);
      return true;
    case 2:
      fixedDigits<2>(field, w, value);
      return true;
    case 3:
      fixedDigits<3>(field, w, value);
      return true;
    case 4:
      fixedDigits<4>(field, w, value);
      return true;
    case 5:
      fixedDigits<5>(field, w, value);
      return true;
    case 6:
      fixedDigits<6>(field, w, value);
      return true;
    default:
      return false;
  }
}

// 1P Ew.d with 1 <= d <= 8 of zero or a value from 10^(d-12) to below
// 10^(d+1) in magnitude, without to_chars. With the value's decimal exponent
// e, so that 10^e <= |value| < 10^(e+1), the d + 1 significant digits are
// |value| * 10^(d-e) rounded to an integer, halfway cases to even. There
// 0 <= d - e <= 12, and the float's 24-bit significand times
// 10^(d-e) = 2^(d-e) * 5^(d-e) (5^12 < 2^29) fits a double exactly, so the
// comparison that settles e, the scaling and the rounding are all exact and
// give to_chars' digits. e is floor(b log10 2) or one more, where 2^b <=
// |value| < 2^(b+1). Digits rounded up to 10^(d+1) are 1.00...0 of the next
// exponent. Returns false when the value is out of that range.
template <int32_t D>
bool scientificDigits(char* field, int32_t w, float value) {
  const double magnitude = std::fabs(static_cast<double>(value));
  if (!(magnitude < kPowerOfTen[D + 1])) return false;
  uint32_t n = 0;
  int32_t exponent = 0;
  if (magnitude != 0.0) {
    const uint32_t biased = (std::bit_cast<uint32_t>(value) >> 23) & 0xFFu;
    if (biased == 0) return false;  // below the normal floats, far below 10^(d-12)
    const int32_t binary = static_cast<int32_t>(biased) - 127;
    const int32_t low = (binary * 78913) >> 18;  // floor(binary log10 2)
    // The scaling by 10^(d-e), tried first for e = low + 1.
    int32_t scale = D - low - 1;
    if (scale < 0 || (scale <= 12 && magnitude * kPowerOfTen[scale] < kPowerOfTen[D])) ++scale;
    if (scale > 12) return false;
    n = static_cast<uint32_t>(scaledRounded(value, scale));
    exponent = D - scale;
    if (n == kIntegerPowerOfTen[D + 1]) {
      n /= 10;
      ++exponent;
    }
  }

  // -D.DDDE+XX (|exponent| <= 11).
  const bool negative = std::signbit(value);
  const int32_t length = negative + D + 6;
  if (!fits(field, w, length)) return true;
  char* p = field + w;
  p = putDigits(p, static_cast<uint32_t>(exponent < 0 ? -exponent : exponent), 2);
  *--p = exponent < 0 ? '-' : '+';
  *--p = 'E';
  p = putDigits(p, n % kIntegerPowerOfTen[D], D);
  *--p = '.';
  *--p = static_cast<char>('0' + n / kIntegerPowerOfTen[D]);
  if (negative) *--p = '-';
  return true;
}

// The above for any d; false when d or the value is out of its range.
bool scientificDigits(char* field, int32_t w, int32_t d, float value) {
  switch (d) {
    case 1:
      return scientificDigits<1>(field, w, value);
    case 2:
      return scientificDigits<2>(field, w, value);
    case 3:
      return scientificDigits<3>(field, w, value);
    case 4:
      return scientificDigits<4>(field, w, value);
    case 5:
      return scientificDigits<5>(field, w, value);
    case 6:
      return scientificDigits<6>(field, w, value);
    case 7:
      return scientificDigits<7>(field, w, value);
    case 8:
      return scientificDigits<8>(field, w, value);
    default:
      return false;
  }
}

// A finite value in FORMAT with D decimals by std::to_chars, where the exact
// shortcuts above do not reach (the largest float has 39 integer digits).
void placeByToChars(char* field, int32_t w, int32_t d, float value, std::chars_format format) {
  std::array<char, 64> buffer;
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, d);
  if (result.ec != std::errc()) {
    std::memset(field, '*', static_cast<std::size_t>(w));
    return;
  }
  // to_chars writes the exponent as e, its sign and at least two digits.
  std::replace(buffer.data(), result.ptr, 'e', 'E');
  place(field, w, {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())});
}

// Appends a field of W characters to OUT, written by WRITE with the slack
// it needs.
template <typename Write>
void appendField(std::string& out, int32_t w, Write write) {
  const std::size_t at = out.size();
  out.append(std::max(static_cast<std::size_t>(w), kFieldSlack), ' ');
  write(out.data() + at);
  out.resize(at + static_cast<std::size_t>(w));
}

}  // namespace

void writeI(char* field, int32_t w, int32_t value) {
  blank(field, w);
  const bool negative = value < 0;
  const uint32_t magnitude =
      negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  const int32_t digits = digitCount(magnitude);
  const int32_t length = negative + digits;
  if (!fits(field, w, length)) return;
  char* p = putDigits(field + w, magnitude, digits);
  if (negative) *--p = '-';
}

void writeF(char* field, int32_t w, int32_t d, float value) {
  blank(field, w);
  if (!std::isfinite(value)) {
    placeNonFinite(field, w, value);
  } else if (!fixedDigits(field, w, d, value)) {
    placeByToChars(field, w, d, value, std::chars_format::fixed);
  }
}

void writeE(char* field, int32_t w, int32_t d, float value) {
  blank(field, w);
  if (!std::isfinite(value)) {
    placeNonFinite(field, w, value);
  } else if (!scientificDigits(field, w, d, value)) {
    placeByToChars(field, w, d, value, std::chars_format::scientific);
  }
}

void appendI(std::string& out, int32_t w, int32_t value) {
  appendField(out, w, [&](char* field) { writeI(field, w, value); });
}

void appendF(std::string& out, int32_t w, int32_t d, float value) {
  appendField(out, w, [&](char* field) { writeF(field, w, d, value); });
}

void appendE(std::string& out, int32_t w, int32_t d, float value) {
  appendField(out, w, [&](char* field) { writeE(field, w, d, value); });
}

}  // namespace tcsum
