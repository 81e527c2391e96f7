#include "input/fields.hpp"

#include <charconv>
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

}  // namespace

bool convertReal(std::string_view text, float& value) {
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

bool convertInteger(std::string_view text, int32_t& value) {
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

float readReal(const Record& record, const Field& field) {
  float value = 0.0f;
  if (!convertReal(record.columns(field.first, field.last), value))
    dataFileFault("input conversion error", describeField(record, field));
  return value;
}

int32_t readInteger(const Record& record, const Field& field) {
  int32_t value = 0;
  if (!convertInteger(record.columns(field.first, field.last), value))
    dataFileFault("input conversion error", describeField(record, field));
  return value;
}

}  // namespace tcsum
