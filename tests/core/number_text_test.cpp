#include "core/number_text.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace tcsum {
namespace {

template <typename T>
T readBack(const std::string& text) {
  T value{};
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_EQ(r.ec, std::errc()) << text;
  EXPECT_EQ(r.ptr, text.data() + text.size()) << text;
  return value;
}

TEST(NumberText, ShortestDecimalReadsBackInItsOwnType) {
  // A float is written with the digits of the float, not of its double.
  EXPECT_EQ(text::shortest(0.1f), "0.1");
  EXPECT_EQ(text::shortest(static_cast<double>(0.1f)), "0.10000000149011612");
  EXPECT_EQ(text::shortest(1e-5f), "1e-05");
  EXPECT_EQ(text::shortest(-0.0), "-0");
  EXPECT_EQ(text::shortest(1332.508), "1332.508");
  for (double v : {1.0 / 3.0, 6.02214076e23, 5e-324, std::numeric_limits<double>::max(), -2.5e-7})
    EXPECT_EQ(readBack<double>(text::shortest(v)), v) << v;
  for (float v : {1.0f / 3.0f, 16777216.0f, 1e-45f, std::numeric_limits<float>::max(), 0.4212f})
    EXPECT_EQ(readBack<float>(text::shortest(v)), v) << v;

  std::string out = "x=";
  text::appendShortest(out, 2.5f);
  text::appendShortest(out, 0.25);
  EXPECT_EQ(out, "x=2.50.25");
}

TEST(NumberText, FixedRoundsTheBinaryValueAndNeverCutsDigits) {
  EXPECT_EQ(text::fixed(1.0, 3), "1.000");
  EXPECT_EQ(text::fixed(2.675, 2), "2.67");  // the double lies below 2.675
  EXPECT_EQ(text::fixed(0.125, 2), "0.12");  // exactly half: to even
  EXPECT_EQ(text::fixed(-0.001, 2), "-0.00");
  EXPECT_EQ(text::fixed(1332.5f, 0), "1332");
  // The largest values keep every integer digit.
  const std::string big = text::fixed(std::numeric_limits<double>::max(), 4);
  EXPECT_EQ(big.size(), 309u + 5u);
  EXPECT_EQ(big.substr(0, 6), "179769");
  EXPECT_EQ(text::fixed(std::numeric_limits<float>::max(), 2).size(), 39u + 3u);
  // More decimals than the unit writes are cut to its most, not lost.
  EXPECT_EQ(text::fixed(0.5, 500).size(), 2u + 60u);
}

TEST(NumberText, PlainAndScientificForms) {
  // The shortest digits without an exponent, however small or large.
  EXPECT_EQ(text::plainShortest(2.0e-6f), "0.000002");
  EXPECT_EQ(text::plainShortest(1e-5f), "0.00001");
  EXPECT_EQ(text::plainShortest(123456789.0f), "123456792");
  EXPECT_EQ(readBack<float>(text::plainShortest(1e-40f)), 1e-40f);
  EXPECT_EQ(text::plainShortest(std::numeric_limits<double>::max()).size(), 309u);
  EXPECT_EQ(text::scientific(1.234567e-7f, 5), "1.23457e-07");
  EXPECT_EQ(text::scientific(0.0, 2), "0.00e+00");
  EXPECT_EQ(text::scientific(-3.4e38f, 0), "-3e+38");
  EXPECT_EQ(text::scientific(1e300, 3), "1.000e+300");
}

TEST(NumberText, SignificantDigitsAndIntegers) {
  EXPECT_EQ(text::significant(0.000123456789, 4), "0.0001235");
  EXPECT_EQ(text::significant(123456789.0, 4), "1.235e+08");
  EXPECT_EQ(text::significant(41.0413856f, 6), "41.0414");
  EXPECT_EQ(text::significant(100.0, 6), "100");
  EXPECT_EQ(text::integer(0), "0");
  EXPECT_EQ(text::integer(-7), "-7");
  EXPECT_EQ(text::integer(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(text::integer(std::numeric_limits<uint64_t>::max()), "18446744073709551615");
  // What is not finite is left to the caller; to_chars' words come through.
  EXPECT_EQ(text::shortest(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(text::fixed(-std::numeric_limits<float>::infinity(), 2), "-inf");
}

}  // namespace
}  // namespace tcsum
