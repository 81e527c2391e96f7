#pragma once
// Typed field writers for the records of the report, one per edit
// descriptor of the layout notation: nX, quoted text, Iw, Fw.d, 1P Ew.d, Aw
// and the record end "/". Fields are right-aligned; a value too wide for its
// field fills it with asterisks and the record goes on. Numbers are formed
// from the exact value of the float, correctly rounded with halfway cases to
// even and independent of the locale: by exact integer arithmetic where the
// scaled value fits a double exactly, else by std::to_chars, with the same
// digits either way.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tcsum {

// Iw: optional minus sign and digits.
void appendI(std::string& out, int32_t w, int32_t value);
// Fw.d: optional minus sign, integer digits (0 below 1 in magnitude), point,
// d decimals. A negative value that rounds to zero keeps its sign.
void appendF(std::string& out, int32_t w, int32_t d, float value);
// 1P Ew.d: optional minus sign, one non-zero digit (0 for zero), point, d
// decimals, E, exponent sign and two exponent digits.
void appendE(std::string& out, int32_t w, int32_t d, float value);

// The same, written in place into the W characters at FIELD (blanks, then
// the number). The writers may put blanks into the kFieldSlack characters
// from FIELD even where W is smaller, so that much room must be there. The
// common cases are written inline, so that a record writer with constant
// widths and decimals compiles to straight-line code for each field.
inline constexpr std::size_t kFieldSlack = 32;

namespace fieldwriting {

// "00", "01" ... "99": two digits at a time.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int k = 0; k < 100; ++k) {
    pairs[static_cast<std::size_t>(2 * k)] = static_cast<char>('0' + k / 10);
    pairs[static_cast<std::size_t>(2 * k + 1)] = static_cast<char>('0' + k % 10);
  }
  return pairs;
}();

// Writes the last COUNT decimal digits of N (leading zeros included) so that
// they end before P; returns where they start.
[[gnu::always_inline]] inline char* putDigits(char* p, uint32_t n, int32_t count) {
  for (; count >= 2; count -= 2) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * (n % 100)], 2);
    n /= 100;
  }
  if (count == 1) *--p = static_cast<char>('0' + n % 10);
  return p;
}

// Writes every digit of N (one for zero) so that they end before P; returns
// where they start.
[[gnu::always_inline]] inline char* putNumber(char* p, uint32_t n) {
  for (; n >= 100; n /= 100) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * (n % 100)], 2);
  }
  if (n >= 10) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * n], 2);
  } else {
    *--p = static_cast<char>('0' + n);
  }
  return p;
}

inline int32_t digitCount(uint32_t n) {
  int32_t count = 1;
  for (; n >= 100; n /= 100)
    count += 2;
  return count + (n >= 10);
}

// Blanks the field first, the slack at least, so a number is then written
// from the field's end back.
[[gnu::always_inline]] inline void blank(char* field, int32_t w) {
  std::memset(field, ' ', std::max(static_cast<std::size_t>(w), kFieldSlack));
}

// Fills the whole field with asterisks when the number needs more than W
// columns (LENGTH of them); false then.
inline bool fits(char* field, int32_t w, int32_t length) {
  if (length <= w) return true;
  std::memset(field, '*', static_cast<std::size_t>(w));
  return false;
}

// Exact powers of ten in a double and as integers.
inline constexpr double kPowerOfTen[] = {1e0, 1e1, 1e2, 1e3,  1e4,  1e5, 1e6,
                                         1e7, 1e8, 1e9, 1e10, 1e11, 1e12};
inline constexpr uint32_t kIntegerPowerOfTen[] = {1,      10,      100,      1000,      10000,
                                                  100000, 1000000, 10000000, 100000000, 1000000000};

// |value| * 10^P rounded to an integer, halfway cases to even, for P <= 12
// and a result below 2^52. The product is exact in a double: the float is
// m * 2^e with m < 2^24, and m * 5^P < 2^52 (5^12 < 2^28) while the 2^P of
// 10^P only moves the exponent. Adding and taking away 2^52 then rounds it
// to an integer in the rounding mode of the floating-point unit, which the
// program leaves at its default, to nearest with ties to even.
[[gnu::always_inline]] inline uint64_t scaledRounded(float value, int32_t P) {
  constexpr double kRoundingShift = 0x1p52;
  const double scaled = std::fabs(static_cast<double>(value)) * kPowerOfTen[P];
  return static_cast<uint64_t>(static_cast<int64_t>((scaled + kRoundingShift) - kRoundingShift));
}

// Fw.d with d <= 6 of a finite value below 10^9 in magnitude, without
// to_chars: the scaled value |value| * 10^d is below 2^50 and its rounding
// to an integer, halfway cases to even, is exact and gives the same digits
// (scaledRounded). The whole part has at most 10 digits, so a field of
// 12 + d columns (11 for d = 0) always holds the number.
template <int32_t D>
[[gnu::always_inline]] inline void fixedDigits(char* field, int32_t w, float value) {
  constexpr uint64_t kScale = kIntegerPowerOfTen[D];
  constexpr int32_t kFraction = D > 0 ? D + 1 : 0;  // the point and the decimals
  constexpr int32_t kLongest = 11 + kFraction;
  const uint64_t n = scaledRounded(value, D);
  const auto whole = static_cast<uint32_t>(n / kScale);
  const auto decimals = static_cast<uint32_t>(n % kScale);
  const bool negative = std::signbit(value);
  char* p = field + w;
  if (w < kLongest && !fits(field, w, negative + digitCount(whole) + kFraction)) return;
  if constexpr (D > 0) {
    p = putDigits(p, decimals, D);
    *--p = '.';
  }
  p = putNumber(p, whole);
  if (negative) *--p = '-';
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
[[gnu::always_inline]] inline bool scientificDigits(char* field, int32_t w, float value) {
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
  if (w < D + 7 && !fits(field, w, negative + D + 6)) return true;
  char* p = field + w;
  p = putDigits(p, static_cast<uint32_t>(exponent < 0 ? -exponent : exponent), 2);
  *--p = exponent < 0 ? '-' : '+';
  *--p = 'E';
  constexpr uint32_t kUnit = kIntegerPowerOfTen[D];
  p = putDigits(p, n % kUnit, D);
  *--p = '.';
  *--p = static_cast<char>('0' + n / kUnit);
  if (negative) *--p = '-';
  return true;
}

// What the shortcuts above leave: values that are not finite, or too large
// or too small for them, and more decimals. FIELD is blank already.
void writeFOther(char* field, int32_t w, int32_t d, float value);
void writeEOther(char* field, int32_t w, int32_t d, float value);

}  // namespace fieldwriting

// writeI, writeF and writeE: the field writers in place, described above.
[[gnu::always_inline]] inline void writeI(char* field, int32_t w, int32_t value) {
  using namespace fieldwriting;
  blank(field, w);
  const bool negative = value < 0;
  const uint32_t magnitude =
      negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  // Ten digits and a sign at the most.
  if (w < 11 && !fits(field, w, negative + digitCount(magnitude))) return;
  char* p = putNumber(field + w, magnitude);
  if (negative) *--p = '-';
}

[[gnu::always_inline]] inline void writeF(char* field, int32_t w, int32_t d, float value) {
  using namespace fieldwriting;
  blank(field, w);
  if (std::fabs(value) < 1e9f) {  // false for NaN and infinity
    switch (d) {
      case 0:
        return fixedDigits<0>(field, w, value);
      case 1:
        return fixedDigits<1>(field, w, value);
      case 2:
        return fixedDigits<2>(field, w, value);
      case 3:
        return fixedDigits<3>(field, w, value);
      case 4:
        return fixedDigits<4>(field, w, value);
      case 5:
        return fixedDigits<5>(field, w, value);
      case 6:
        return fixedDigits<6>(field, w, value);
      default:
        break;
    }
  }
  writeFOther(field, w, d, value);
}

[[gnu::always_inline]] inline void writeE(char* field, int32_t w, int32_t d, float value) {
  using namespace fieldwriting;
  blank(field, w);
  bool done = false;
  switch (d) {
    case 1:
      done = scientificDigits<1>(field, w, value);
      break;
    case 2:
      done = scientificDigits<2>(field, w, value);
      break;
    case 3:
      done = scientificDigits<3>(field, w, value);
      break;
    case 4:
      done = scientificDigits<4>(field, w, value);
      break;
    case 5:
      done = scientificDigits<5>(field, w, value);
      break;
    case 6:
      done = scientificDigits<6>(field, w, value);
      break;
    case 7:
      done = scientificDigits<7>(field, w, value);
      break;
    case 8:
      done = scientificDigits<8>(field, w, value);
      break;
    default:
      break;
  }
  if (!done) writeEOther(field, w, d, value);
}

// Builds one record after another at the end of OUT. Blanks of X() are held
// back until a later field of the same record is written, so a record never
// ends in blanks of its own (an A field's own blanks are written as they
// stand). end() closes the record with CR LF.
//
// Records are assembled in place in a buffer, field by field, and go to OUT
// when the buffer fills and when the writer ends, so a writer kept for many
// records appends to OUT once for each buffer full; a record longer than
// the buffer goes out in pieces. Whatever the writer holds, an unfinished
// record included, is in OUT once it has ended.
class RecordWriter {
 public:
  explicit RecordWriter(std::string& out) : out_(out) {}
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;
  ~RecordWriter() {
    if (used_ > 0) out_.append(line_.data(), used_);
  }

  [[gnu::always_inline]] RecordWriter& X(int32_t n) {
    pending_ += static_cast<std::size_t>(n);
    return *this;
  }
  RecordWriter& text(std::string_view t) {
    if (char* at = field(t.size())) {
      std::memcpy(at, t.data(), t.size());
    } else {
      out_ += t;
    }
    return *this;
  }
  RecordWriter& A(std::string_view chars) { return text(chars); }
  [[gnu::always_inline]] RecordWriter& I(int32_t w, int32_t value) {
    if (char* at = field(static_cast<std::size_t>(w))) {
      writeI(at, w, value);
    } else {
      appendI(out_, w, value);
    }
    return *this;
  }
  [[gnu::always_inline]] RecordWriter& F(int32_t w, int32_t d, float value) {
    if (char* at = field(static_cast<std::size_t>(w))) {
      writeF(at, w, d, value);
    } else {
      appendF(out_, w, d, value);
    }
    return *this;
  }
  [[gnu::always_inline]] RecordWriter& E(int32_t w, int32_t d, float value) {
    if (char* at = field(static_cast<std::size_t>(w))) {
      writeE(at, w, d, value);
    } else {
      appendE(out_, w, d, value);
    }
    return *this;
  }
  // "/": ends the record under way.
  [[gnu::always_inline]] RecordWriter& end() {
    pending_ = 0;
    if (used_ + 2 > line_.size()) spill();
    line_[used_] = '\r';
    line_[used_ + 1] = '\n';
    used_ += 2;
    return *this;
  }

 private:
  // Room for the held-back blanks and a field of N characters: the place of
  // the field in the line buffer, or nullptr when it does not fit even an
  // empty one (the blanks have then been written to OUT).
  [[gnu::always_inline]] char* field(std::size_t n) {
    if (used_ + pending_ + kFieldSlack + std::max(n, kFieldSlack) > line_.size()) [[unlikely]] {
      spill();
      if (pending_ + kFieldSlack + std::max(n, kFieldSlack) > line_.size()) {
        out_.append(pending_, ' ');
        pending_ = 0;
        if (kFieldSlack + n > line_.size()) return nullptr;
      }
    }
    // The held-back blanks, a whole slack at a time.
    char* at = line_.data() + used_;
    for (std::size_t k = 0; k < pending_; k += kFieldSlack)
      std::memcpy(at + k, kBlanks, kFieldSlack);
    at += pending_;
    used_ += pending_ + n;
    pending_ = 0;
    return at;
  }
  void spill() {
    out_.append(line_.data(), used_);
    used_ = 0;
  }

  static constexpr char kBlanks[kFieldSlack + 1] = "                                ";
  std::string& out_;
  std::size_t used_ = 0;     // characters in line_
  std::size_t pending_ = 0;  // blanks held back
  std::array<char, 4096> line_;
};

}  // namespace tcsum
