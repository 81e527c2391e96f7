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
