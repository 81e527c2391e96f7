#include "report/format.hpp"

#include <algorithm>
#include <cmath>

#include "core/number_text.hpp"

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

// A finite value with D decimals and an exponent, where the exact shortcuts
// of the header do not reach; the exponent as E, its sign and at least two
// digits.
void placeScientific(char* field, int32_t w, int32_t d, float value) {
  std::string representation = text::scientific(value, d);
  std::replace(representation.begin(), representation.end(), 'e', 'E');
  place(field, w, representation);
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

namespace fieldwriting {

void writeFOther(char* field, int32_t w, int32_t d, float value) {
  if (!std::isfinite(value)) {
    placeNonFinite(field, w, value);
  } else {
    place(field, w, text::fixed(value, d));
  }
}

void writeEOther(char* field, int32_t w, int32_t d, float value) {
  if (!std::isfinite(value)) {
    placeNonFinite(field, w, value);
  } else {
    placeScientific(field, w, d, value);
  }
}

}  // namespace fieldwriting

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
