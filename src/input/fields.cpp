#include "input/fields.hpp"

#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>

#include "core/fatal.hpp"

namespace tcsum {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isSign(char c) {
  return c == '+' || c == '-';
}
bool isExponentLetter(char c) {
  return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

// The most characters other than blanks a numeric field may hold.
constexpr std::size_t kSqueezed = 32;

// The field with its blanks removed; false when it is longer than any field.
bool squeeze(std::string_view text, std::array<char, kSqueezed>& out, std::size_t& length) {
  length = 0;
  for (char c : text) {
    if (c == ' ') continue;
    if (length == out.size()) return false;
    out[length++] = c;
  }
  return true;
}

// The common plain decimals of a data file, [sign] digits [. digits] with
// blanks anywhere and no exponent, whose digits as an integer M stay below
// 2^24 with K <= 10 of them after the point. Their value is M / 10^K; both M
// and 10^K = 2^K * 5^K (5^10 < 2^24) are floats exactly, and one float
// division rounds the exact quotient to the nearest float, halfway cases to
// even, which is the value std::from_chars gives for the text. Returns false,
// leaving VALUE alone, for any other text (and for one too long to squeeze).
bool plainDecimal(std::string_view text, float& value) {
  static constexpr float kPower[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                     1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  if (text.size() > kSqueezed) return false;
  bool negative = false;
  bool started = false;  // a sign, digit or point seen
  uint32_t m = 0;
  int32_t digits = 0;
  int32_t beforePoint = -1;  // digits before the point; -1 while no point is seen
  for (char c : text) {
    if (c == ' ') continue;
    if (isDigit(c)) {
      m = m * 10 + static_cast<uint32_t>(c - '0');
      if (m >= (1u << 24)) return false;
      ++digits;
    } else if (c == '.' && beforePoint < 0) {
      beforePoint = digits;
    } else if (isSign(c) && !started) {
      negative = c == '-';
    } else {
      return false;
    }
    started = true;
  }
  const int32_t decimals = beforePoint < 0 ? 0 : digits - beforePoint;
  if (digits == 0 || decimals > 10) return false;
  const float magnitude = static_cast<float>(m) / kPower[decimals];
  value = negative ? -magnitude : magnitude;
  return true;
}

// The same for the commonest form of all, blanks only before and after
// [sign] digits [. digits], in one pass without squeezing; false, leaving
// VALUE alone, for any other text.
bool compactDecimal(std::string_view text, float& value) {
  static constexpr float kPower[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                     1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p != end && *p == ' ')
    ++p;
  bool negative = false;
  if (p != end && isSign(*p)) negative = *p++ == '-';
  // Digits while they come; more than 18 of them (M could overflow) go the
  // general way below.
  uint64_t m = 0;
  uint32_t digit = 0;
  const char* const first = p;
  for (; p != end && (digit = static_cast<uint32_t>(*p - '0')) < 10; ++p)
    m = m * 10 + digit;
  int32_t digits = static_cast<int32_t>(p - first);
  int32_t decimals = 0;
  if (p != end && *p == '.') {
    const char* const point = ++p;
    for (; p != end && (digit = static_cast<uint32_t>(*p - '0')) < 10; ++p)
      m = m * 10 + digit;
    decimals = static_cast<int32_t>(p - point);
    digits += decimals;
  }
  if (digits > 18) return false;
  while (p != end && *p == ' ')
    ++p;
  // M below 2^24 and at most 10 decimals, as above; longer texts go the
  // general way.
  if (p != end || digits == 0 || m >= (1u << 24) || decimals > 10) return false;
  const float magnitude = static_cast<float>(m) / kPower[decimals];
  value = negative ? -magnitude : magnitude;
  return true;
}

// Columns taken eight at a time as one 64-bit word, the first in the lowest
// byte (so read on little-endian machines only; elsewhere the fast path
// below is not taken), and tested all at once.
constexpr uint64_t kEveryByte = 0x0101010101010101u;
constexpr uint64_t kTopBits = kEveryByte * 0x80;

// The lowest byte of WORD equal to C, or 8 for none. (No borrow reaches the
// lowest such byte, so its top bit is exact; those above it are not used.)
int32_t firstByte(uint64_t word, unsigned c) {
  const uint64_t x = word ^ (kEveryByte * c);
  return std::countr_zero((x - kEveryByte) & ~x & kTopBits) >> 3;
}

// Eight digits (byte values 0 ... 9, the most significant in the lowest
// byte) as an integer: pairs, fours and eights in three steps.
uint32_t eightDigits(uint64_t v) {
  v = v * 10 + (v >> 8);
  v = ((v & 0x000000FF000000FFu) * (100 + (1000000ull << 32)) +
       ((v >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32))) >>
      32;
  return static_cast<uint32_t>(v);
}

// Indexed by J = 0 ... 8: the bytes up to and including byte J (none for 8),
// the top J bytes, and 10^(8 - J).
constexpr auto kThroughByte = [] {
  std::array<uint64_t, 9> t{};
  for (int32_t j = 0; j < 8; ++j)
    t[j] = ~uint64_t{0} >> (56 - 8 * j);
  return t;
}();
constexpr auto kTopBytes = [] {
  std::array<uint64_t, 9> t{};
  for (int32_t j = 1; j < 9; ++j)
    t[j] = ~uint64_t{0} << (64 - 8 * j);
  return t;
}();
constexpr float kScale[] = {1e8f, 1e7f, 1e6f, 1e5f, 1e4f, 1e3f, 1e2f, 1e1f, 1e0f};

// The commonest 10-column field of a data file, a right-aligned plain
// decimal: column 1 blank, a digit in column 10, and in columns 2-9 (one
// word) blanks, then digits with at most one point; or an all-blank field.
// Its digits as an integer M below 2^24, with K <= 8 decimals, give
// M / 10^K as in compactDecimal: the value std::from_chars gives. Returns
// false, leaving VALUE alone, for any other text (a sign, blanks inside,
// an exponent ...), which goes the general way; the texts taken here are
// some of those the general way accepts, with the same value.
[[gnu::always_inline]] inline bool tenColumns(const char* field, float& value) {
  if constexpr (std::endian::native != std::endian::little) return false;
  const auto last = static_cast<uint32_t>(static_cast<unsigned char>(field[9]) - '0');
  uint64_t w = 0;
  std::memcpy(&w, field + 1, sizeof w);
  if (field[0] != ' ' || last >= 10) {
    if (field[0] != ' ' || field[9] != ' ' || w != kEveryByte * ' ') return false;
    value = 0.0f;
    return true;
  }
  // Taking out the first point (the bytes before it move up by one) leaves
  // the number's digits in the top bytes, as many as there are bytes after
  // the leading blanks and the point; each of them must be a digit.
  const int32_t blanks = std::countr_zero(w ^ (kEveryByte * ' ')) >> 3;
  const int32_t point = firstByte(w, '.');
  w ^= (w ^ (w << 8)) & kThroughByte[point];
  const uint64_t keep = kTopBytes[8 - blanks - (point < 8 ? 1 : 0)];
  const uint64_t v = (w & keep) - (kEveryByte * '0' & keep);
  // A byte outside 0 ... 9 sets a top bit (of bytes below '0', the lowest
  // shows exactly, whatever its borrow does above it).
  if ((((v + kEveryByte * (0x80 - 10)) | v) & kTopBits) != 0) return false;
  const uint32_t m = eightDigits(v) * 10 + last;
  if (m >= (1u << 24)) return false;
  value = static_cast<float>(m) / kScale[point];
  return true;
}

// The general way for any width.
bool convertAnyReal(std::string_view text, float& value) {
  if (compactDecimal(text, value) || plainDecimal(text, value)) return true;
  std::array<char, kSqueezed> squeezed;
  std::size_t n = 0;
  if (!squeeze(text, squeezed, n)) return false;
  if (n == 0) {
    value = 0.0f;
    return true;
  }

  // Rebuild the number in the form std::from_chars reads: [-]mantissa[e[-]digits].
  std::array<char, 40> normal;
  std::size_t out = 0;
  std::size_t i = 0;
  if (isSign(squeezed[i])) {
    if (squeezed[i] == '-') normal[out++] = '-';
    ++i;
  }
  int32_t digits = 0;
  bool point = false;
  for (; i < n && (isDigit(squeezed[i]) || squeezed[i] == '.'); ++i) {
    if (squeezed[i] == '.') {
      if (point) return false;
      point = true;
    } else {
      ++digits;
    }
    normal[out++] = squeezed[i];
  }
  if (digits == 0) return false;

  bool negativeExponent = false;
  if (i < n) {
    if (isExponentLetter(squeezed[i]))
      ++i;
    else if (!isSign(squeezed[i]))
      return false;
    normal[out++] = 'e';
    if (i < n && isSign(squeezed[i])) {
      negativeExponent = squeezed[i] == '-';
      if (negativeExponent) normal[out++] = '-';
      ++i;
    }
    if (i == n) return false;
    for (; i < n; ++i) {
      if (!isDigit(squeezed[i])) return false;
      normal[out++] = squeezed[i];
    }
  }

  float parsed = 0.0f;
  auto [end, ec] = std::from_chars(normal.data(), normal.data() + out, parsed);
  if (ec == std::errc::result_out_of_range) {
    // A field holds at most a few mantissa digits, so a value that does not
    // fit a float is too large when its exponent is positive and too small
    // (nearest float: zero) when it is negative.
    if (!negativeExponent) return false;
    value = normal[0] == '-' ? -0.0f : 0.0f;
    return true;
  }
  if (ec != std::errc() || end != normal.data() + out) return false;
  value = parsed;
  return true;
}

// The general way for any width.
bool convertAnyInteger(std::string_view text, int32_t& value) {
  // The commonest form first: blanks, [sign] up to 9 digits, blanks.
  {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end && *p == ' ')
      ++p;
    const bool sign = p != end && isSign(*p);
    const bool negative = sign && *p++ == '-';
    int32_t n = 0;
    const char* const first = p;
    for (; p != end && isDigit(*p) && p - first < 9; ++p)
      n = n * 10 + (*p - '0');
    const bool digits = p != first;
    while (p != end && *p == ' ')
      ++p;
    // All blank is 0; a sign needs digits.
    if (p == end && (digits || !sign)) {
      value = negative ? -n : n;
      return true;
    }
  }
  std::array<char, kSqueezed> squeezed;
  std::size_t n = 0;
  if (!squeeze(text, squeezed, n)) return false;
  if (n == 0) {
    value = 0;
    return true;
  }
  std::size_t start = isSign(squeezed[0]) ? 1 : 0;
  if (start == n) return false;
  for (std::size_t i = start; i < n; ++i)
    if (!isDigit(squeezed[i])) return false;
  // from_chars takes a leading minus but no plus.
  std::size_t from = (squeezed[0] == '+') ? 1 : 0;
  int32_t parsed = 0;
  auto [end, ec] = std::from_chars(squeezed.data() + from, squeezed.data() + n, parsed);
  if (ec != std::errc() || end != squeezed.data() + n) return false;
  value = parsed;
  return true;
}

// The commonest 2-column integer field: a blank, sign or digit, then a
// digit. Returns false, leaving VALUE alone, for any other text.
[[gnu::always_inline]] inline bool twoColumns(const char* field, int32_t& value) {
  const auto digit = static_cast<uint32_t>(static_cast<unsigned char>(field[1]) - '0');
  if (digit >= 10) return false;
  const auto tens = static_cast<uint32_t>(static_cast<unsigned char>(field[0]) - '0');
  if (tens < 10) {
    value = static_cast<int32_t>(tens * 10 + digit);
  } else if (field[0] == ' ' || field[0] == '+') {
    value = static_cast<int32_t>(digit);
  } else if (field[0] == '-') {
    value = -static_cast<int32_t>(digit);
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool convertReal(std::string_view text, float& value) {
  return (text.size() == 10 && tenColumns(text.data(), value)) || convertAnyReal(text, value);
}

bool convertInteger(std::string_view text, int32_t& value) {
  return (text.size() == 2 && twoColumns(text.data(), value)) || convertAnyInteger(text, value);
}

std::string describeField(const Record& record, const Field& field) {
  std::string out = "record " + std::to_string(record.number) + ", column";
  if (field.first == field.last) {
    out += " " + std::to_string(field.first);
  } else {
    out += "s " + std::to_string(field.first) + "-" + std::to_string(field.last);
  }
  out += " (";
  out += field.name;
  out += "): ";
  out += quoted(record.columns(field.first, field.last));
  return out;
}

namespace {
[[noreturn]] void conversionFault(const Record& record, const Field& field) {
  dataFileFault("input conversion error", describeField(record, field));
}

// The fields of a record in order: the shortcut FAST for those WIDTH columns
// wide while it serves, then CONVERT for the rest.
template <typename T, int32_t kWidth, bool (*kFast)(const char*, T&),
          bool (*kConvert)(std::string_view, T&)>
void readFields(const Record& record, std::span<const Field> fields, T* values) {
  std::size_t i = 0;
  for (; i < fields.size(); ++i) {
    const Field& f = fields[i];
    if (f.last - f.first + 1 != kWidth || !kFast(record.text.data() + (f.first - 1), values[i]))
      break;
  }
  for (; i < fields.size(); ++i) {
    const Field& f = fields[i];
    if (!kConvert(record.columns(f.first, f.last), values[i])) conversionFault(record, f);
  }
}
}  // namespace

void readReals(const Record& record, std::span<const Field> fields, float* values) {
  readFields<float, 10, tenColumns, convertReal>(record, fields, values);
}

void readIntegers(const Record& record, std::span<const Field> fields, int32_t* values) {
  readFields<int32_t, 2, twoColumns, convertInteger>(record, fields, values);
}

float readReal(const Record& record, const Field& field) {
  float value = 0.0f;
  readReals(record, {&field, 1}, &value);
  return value;
}

int32_t readInteger(const Record& record, const Field& field) {
  int32_t value = 0;
  readIntegers(record, {&field, 1}, &value);
  return value;
}

}  // namespace tcsum
