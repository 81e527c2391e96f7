#pragma once
// Numbers as text for every output, through std::to_chars: the shortest
// decimal that reads back to the same double or float, a fixed number of
// decimals, a number of significant digits, scientific notation, an integer. Each appends to a
// string or returns one; the caller decides what a value that is not finite
// shows (to_chars gives "inf", "-inf", "nan").
#include <charconv>
#include <concepts>
#include <string>
#include <system_error>

namespace tcsum::text {

namespace detail {
// Room for any double in fixed notation (309 digits before the point) with
// up to kMaxDecimals after it, and for every other form.
inline constexpr int kMaxDecimals = 60;
inline constexpr std::size_t kRoom = 320 + kMaxDecimals;

template <typename... Format>
void append(std::string& out, const auto value, Format... format) {
  char buffer[kRoom];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
  out.append(buffer, r.ec == std::errc() ? r.ptr : buffer);
}
}  // namespace detail

// The shortest decimal that reads back to VALUE in its own type, plain or
// with an exponent, whichever is shorter ("0.4212", "1e-05", "-0").
inline void appendShortest(std::string& out, double value) {
  detail::append(out, value);
}
inline void appendShortest(std::string& out, float value) {
  detail::append(out, value);
}
inline std::string shortest(double value) {
  std::string out;
  appendShortest(out, value);
  return out;
}
inline std::string shortest(float value) {
  std::string out;
  appendShortest(out, value);
  return out;
}

// The shortest decimal that reads back to VALUE, always without an exponent
// ("0.000002", "123456789").
inline std::string plainShortest(std::floating_point auto value) {
  std::string out;
  detail::append(out, value, std::chars_format::fixed);
  return out;
}

// VALUE rounded to DECIMALS digits after the point (0 ... 60), "-0.00" for
// a small negative value as to_chars gives it.
inline void appendFixed(std::string& out, std::floating_point auto value, int decimals) {
  detail::append(out, value, std::chars_format::fixed,
                 decimals < detail::kMaxDecimals ? decimals : detail::kMaxDecimals);
}
inline std::string fixed(std::floating_point auto value, int decimals) {
  std::string out;
  appendFixed(out, value, decimals);
  return out;
}

// VALUE with DIGITS significant digits, plain or with an exponent as printf's
// %g chooses, trailing zeros dropped.
inline void appendSignificant(std::string& out, std::floating_point auto value, int digits) {
  detail::append(out, value, std::chars_format::general, digits);
}
inline std::string significant(std::floating_point auto value, int digits) {
  std::string out;
  appendSignificant(out, value, digits);
  return out;
}

// VALUE with one digit before the point and DECIMALS (0 ... 60) after it,
// and an exponent of at least two digits ("1.23457e-07").
inline void appendScientific(std::string& out, std::floating_point auto value, int decimals) {
  detail::append(out, value, std::chars_format::scientific,
                 decimals < detail::kMaxDecimals ? decimals : detail::kMaxDecimals);
}
inline std::string scientific(std::floating_point auto value, int decimals) {
  std::string out;
  appendScientific(out, value, decimals);
  return out;
}

// VALUE in decimal digits, with a minus sign when negative.
inline void appendInteger(std::string& out, std::integral auto value) {
  detail::append(out, value);
}
inline std::string integer(std::integral auto value) {
  std::string out;
  appendInteger(out, value);
  return out;
}

}  // namespace tcsum::text
