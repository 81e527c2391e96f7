#include "input/fields.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/fatal.hpp"

namespace tcsum {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Expected values are float literals of the same decimal number: the compiler's nearest float.
// 16777217 = 2^24 + 1 is halfway between two floats and ties to the even one. The long text
// lies 1E-25 above 1 + 2^-24, the midpoint of 1 and 1 + 2^-23 (via a double it would tie to 1).
TEST(ConvertReal, NumberFormsAndRejects) {
  const std::pair<const char*, float> cases[] = {
      {"          ", 0.0f},
      {" 1 17 3. 2", 1173.2f},
      {"-12", -12.0f},
      {"+.5", 0.5f},
      {"5.", 5.0f},
      {"1.5e+3", 1500.0f},
      {"15D2", 1500.0f},
      {"1.5d-3", 1.5e-3f},
      {"1.5+3", 1500.0f},
      {"-2.5 - 1", -0.25f},
      {"1E-40", 1e-40f},
      {"3.4028235E38", FLT_MAX},
      {"16777217", 16777216.0f},
      {"1.0000000596046447753906251", 1.00000011920928955078125f},
      // Edges of the shortcut for plain decimals (digits below 2^24, at most 10 decimals). The
      // digits 16777217 are no float: as 16777216 / 10 they would give 1677721.625, while
      // 1677721.75 is nearest. With 11 decimals, a division by float(1E11) = 99999997952 would
      // give 2.1470001E-8 (python3, Fraction), not the nearest 2.1469999E-8.
      {"16777215", 16777215.0f},
      {"1677721.7", 1677721.75f},
      {"-.0000000001", -1e-10f},
      {"0.00000002147", 2.147e-8f},
  };
  for (const auto& [text, expected] : cases) {
    float value = -99.0f;
    EXPECT_TRUE(convertReal(text, value) && value == expected) << text << " gave " << value;
  }
  float zero = 0.0f, seven = 0.0f;
  EXPECT_TRUE(convertReal("- 0.0", zero) && std::signbit(zero));
  // Blanks do not count against the 32 characters a field may hold.
  EXPECT_TRUE(convertReal(std::string(39, ' ') + "7", seven) && seven == 7.0f);
  EXPECT_FALSE(convertReal(std::string(32, '0') + "1", seven));
  // 3.4028236E38 lies above 2^128 - 2^103, the midpoint of FLT_MAX and 2^128.
  for (const char* text : {"+", "-", ".", "-.", "E5", "1E", "1E+", "1.5+-3", "--1", "1.2.3",
                           "1E2.5", "1,5", "1\t5", "INF", "NAN", "1E39", "3.4028236E38"}) {
    float value = 0.0f;
    EXPECT_FALSE(convertReal(text, value)) << text;
  }
}

// Plain decimals, the data file's commonest form, take a shortcut; it must give std::from_chars'
// float for every text: blanks around, signs, leading zeros, 1 to 25 digits (M at and beyond
// 2^24, beyond 18 digits), any place of the point, blanks inside (the general way).
TEST(ConvertReal, PlainDecimalsAsFromChars) {
  std::mt19937 random(17);
  const auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  for (int32_t k = 0; k < 400000; ++k) {
    std::string text(below(4), ' ');
    const uint32_t sign = below(4);
    if (sign == 1) text += '-';
    if (sign == 2) text += '+';
    const uint32_t digits = 1 + (below(2) == 0 ? below(25) : below(9));
    const uint32_t point = below(digits + 2);  // == digits + 1: no point
    for (uint32_t i = 0; i < digits; ++i) {
      if (i == point) text += '.';
      text += static_cast<char>(below(3) == 0 ? '0' : '0' + below(10));
    }
    if (point == digits) text += '.';
    if (below(50) == 0) text.insert(1 + below(static_cast<uint32_t>(text.size())), " ");
    text.append(below(4), ' ');

    std::string squeezed;
    for (char c : text)
      if (c != ' ' && c != '+') squeezed += c;
    float expected = 0.0f;
    const auto [end, ec] =
        std::from_chars(squeezed.data(), squeezed.data() + squeezed.size(), expected);
    ASSERT_TRUE(ec == std::errc() && end == squeezed.data() + squeezed.size()) << squeezed;
    float value = -99.0f;
    ASSERT_TRUE(convertReal(text, value)) << '"' << text << '"';
    ASSERT_EQ(std::bit_cast<uint32_t>(value), std::bit_cast<uint32_t>(expected))
        << '"' << text << '"';
  }
}

// A 10-column field (a 2-column integer) of a common form takes a shortcut. Blanks mean nothing
// wherever they stand, so the field with one more blank goes the general way and must give the
// same: acceptance and bits, over right-aligned numbers of 1 to 9 characters with points, blanks,
// signs, exponent letters and stray bytes in between. The listed fields sit on the shortcut's
// edges: 2^24 - 1 and 2^24 (digits 16777217 lie halfway and tie to even), eight decimals, a point
// first or last, a sign or blank where a digit would be, "1-2345" (1E-2345, too small: 0).
TEST(ConvertReal, TenColumnsAsTheGeneralWay) {
  std::mt19937 random(29);
  const auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  const std::string common = "0123456789.", rare = " +-.EdD,\t";
  std::vector<std::string> fields = {" 1677721.5", " 1.6777215", " 1677721.6", "  16777217",
                                     " .12345678", " 16777215.", "  12 3.456", "    -1.250",
                                     "  1.2.3456", "    1-2345", "    1.5+30", "1234567.89"};
  for (int32_t k = 0; k < 300000; ++k) {
    std::string text(1, below(10) == 0 ? static_cast<char>('0' + below(10)) : ' ');
    text.append(below(9), ' ');
    while (text.size() < 10)
      text += below(20) == 0 ? rare[below(rare.size())] : common[below(common.size())];
    fields.push_back(text);
  }
  for (const std::string& text : fields) {
    float fast = -99.0f, general = -99.0f;
    const bool taken = convertReal(text, fast);
    ASSERT_EQ(taken, convertReal(text + " ", general)) << '"' << text << '"';
    if (taken) {
      ASSERT_EQ(std::bit_cast<uint32_t>(fast), std::bit_cast<uint32_t>(general))
          << '"' << text << '"';
    }
  }
  float value = 0.0f;
  EXPECT_TRUE(convertReal(" 1677721.5", value) && value == 1677721.5f);
  EXPECT_TRUE(convertReal(" .12345678", value) && value == 0.12345678f);
  EXPECT_TRUE(convertReal("    1-2345", value) && value == 0.0f);
  const std::string bytes = " +-.0123456789x";
  for (char a : bytes) {
    for (char b : bytes) {
      const std::string text{a, b};
      int32_t fast = -99, general = -99;
      const bool taken = convertInteger(text, fast);
      ASSERT_EQ(taken, convertInteger(text + " ", general)) << '"' << text << '"';
      if (taken) {
        ASSERT_EQ(fast, general) << '"' << text << '"';
      }
    }
  }
}

TEST(ConvertInteger, SignAndDigitsOnly) {
  const std::pair<const char*, int32_t> cases[] = {
      {"  ", 0}, {" 7", 7}, {"-1", -1}, {"+3", 3}, {"1 2", 12}, {"-2147483648", INT32_MIN}};
  for (const auto& [text, expected] : cases) {
    int32_t value = -99;
    EXPECT_TRUE(convertInteger(text, value) && value == expected) << text << " gave " << value;
  }
  for (const char* text : {"+", "-", "1.", "1E1", "1-", "a", "\t1", "2147483648"}) {
    int32_t value = 0;
    EXPECT_FALSE(convertInteger(text, value)) << text;
  }
}

TEST(ReadField, BadFieldStopsTheRunNamingRecordColumnsAndText) {
  Record r;
  r.text.fill(' ');
  std::string_view(" 2x1      1173.2    1.5x3").copy(r.text.data(), 25);
  r.number = 12;
  EXPECT_EQ(readReal(r, {11, 20, "energy"}), 1173.2f);
  const Field intensity{21, 30, "intensity"}, lower{3, 4, "lower level"};
  auto stops = [](const char* where) {
    return ::testing::ThrowsMessage<RunStop>(
        AllOf(StartsWith("input conversion error, unit 5, file TALVEN"), HasSubstr(where)));
  };
  EXPECT_THAT([&] { readReal(r, intensity); },
              stops("record 12, columns 21-30 (intensity): \"1.5x3     \""));
  EXPECT_THAT([&] { readInteger(r, lower); },
              stops("record 12, columns 3-4 (lower level): \"x1\""));
  // Several fields at once: the first bad one in their order.
  const Field several[] = {{11, 20, "energy"}, intensity, {1, 4, "levels"}};
  float values[3];
  EXPECT_THAT([&] { readReals(r, several, values); },
              stops("record 12, columns 21-30 (intensity)"));
}

}  // namespace
}  // namespace tcsum
