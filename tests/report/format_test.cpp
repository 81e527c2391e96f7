// Field writers of the report: each edit descriptor at its edges, a seeded round trip of the F and
// E output, and the blanks and record ends of the record writer.
#include "report/format.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace tcsum {
namespace {

using Limits = std::numeric_limits<float>;
constexpr float kInf = Limits::infinity();

std::string field(char kind, int32_t w, int32_t d, float value) {
  std::string out;
  if (kind == 'I') appendI(out, w, static_cast<int32_t>(value));  // integers exact in a float
  if (kind != 'I') (kind == 'F' ? appendF : appendE)(out, w, d, value);
  return out;
}

// The exact binary value decides each rounding (python3: Decimal of the float32-rounded value):
// 9.9996f = 9.99960041, 9.996f = 9.99600029, 0.145f = 0.14499999, 0.012345f = 0.0123450002; 0.125,
// 0.375, 1.25, 9999.5 and 12345 are exact halfway cases, rounded to even; 1E-9f is 9.99999972E-10
// (E values from 10^(d-12) to below 10^(d+1) take a shorter way; 9999.5, 12345 and 1E-9 lie at its
// ends). F keeps the 0 before the point, so -0.421 does not fit F5.3. The smallest, smallest normal
// and largest floats are 1.40129846E-45, 1.17549435E-38 and 3.40282347E+38. Values that are not
// finite are written as the long word where it fits, else the short one, else asterisks.
TEST(FieldWriters, EditDescriptorsAtTheirEdges) {
  const struct {
    char kind;
    int32_t w, d;
    float value;
    const char* expected;
  } cases[] = {
      // clang-format off
      {'F', 7, 3, 0.5f, "  0.500"}, {'F', 7, 3, 9.9996f, " 10.000"}, {'F', 6, 3, 9.9996f, "10.000"},
      {'F', 5, 3, 9.9996f, "*****"}, {'F', 5, 3, 0.421f, "0.421"}, {'F', 5, 3, 10.0f, "*****"},
      {'F', 5, 3, -0.421f, "*****"}, {'F', 7, 2, -100.0f, "-100.00"},
      {'F', 7, 2, -1000.0f, "*******"}, {'F', 7, 3, 0.0f, "  0.000"}, {'F', 7, 3, -0.0f, " -0.000"},
      {'F', 7, 3, -0.0004f, " -0.000"}, {'F', 5, 2, 0.125f, " 0.12"}, {'F', 5, 2, 0.375f, " 0.38"},
      {'F', 5, 2, 0.145f, " 0.14"},
      {'F', 41, 1, Limits::max(), "340282346638528859811704183484516925440.0"},
      {'E', 10, 2, 0.0021f, "  2.10E-03"}, {'E', 12, 3, 0.012345f, "   1.235E-02"},
      {'E', 12, 3, 0.0f, "   0.000E+00"}, {'E', 10, 2, -0.0f, " -0.00E+00"},
      {'E', 10, 2, 9.996f, "  1.00E+01"}, {'E', 10, 2, -9.996f, " -1.00E+01"},
      {'E', 8, 2, 9.996f, "1.00E+01"}, {'E', 7, 2, 9.996f, "*******"},
      {'E', 8, 1, 1.25f, " 1.2E+00"}, {'E', 12, 3, Limits::denorm_min(), "   1.401E-45"},
      {'E', 8, 1, 0.125f, " 1.2E-01"}, {'E', 8, 1, 0.375f, " 3.8E-01"},
      {'E', 12, 3, 9999.5f, "   1.000E+04"}, {'E', 12, 3, 12345.0f, "   1.234E+04"},
      {'E', 12, 3, 1e-9f, "   1.000E-09"},
      {'E', 10, 2, Limits::min(), "  1.18E-38"}, {'E', 12, 3, Limits::max(), "   3.403E+38"},
      {'F', 10, 3, Limits::quiet_NaN(), "       NaN"}, {'E', 2, 1, Limits::quiet_NaN(), "**"},
      {'F', 9, 3, kInf, " Infinity"}, {'E', 7, 1, kInf, "    Inf"}, {'F', 2, 1, kInf, "**"},
      {'E', 12, 3, -kInf, "   -Infinity"}, {'F', 8, 2, -kInf, "    -Inf"},
      {'F', 3, 1, -kInf, "***"}, {'I', 1, 0, 0.0f, "0"}, {'I', 3, 0, 7.0f, "  7"},
      {'I', 2, 0, -5.0f, "-5"}, {'I', 2, 0, -10.0f, "**"}, {'I', 2, 0, 100.0f, "**"},
      {'I', 11, 0, -2147483648.0f, "-2147483648"},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(field(c.kind, c.w, c.d, c.value), c.expected) << c.kind << c.w << '.' << c.d;
  }
}

// The decimal read back (long double, 64-bit significand) lies within half a unit of its last
// digit of the float's exact value; the slack covers only the reading back.
void expectWithinHalfUnit(const std::string& out, float value, int32_t lastDigitExponent) {
  const long double half = std::pow(10.0L, static_cast<long double>(lastDigitExponent)) / 2;
  const long double exact = static_cast<long double>(value);
  EXPECT_LE(std::fabs(std::strtold(out.c_str(), nullptr) - exact),
            half * (1 + 1e-15L) + std::fabs(exact) * 1e-18L)
      << out << " for " << value;
}

TEST(FieldWriters, RandomFloatsReadBackWithinHalfAUnit) {
  std::mt19937 rng(20260307u);
  for (int n = 0; n < 20000; ++n) {
    const int32_t d = 1 + static_cast<int32_t>(rng() % 6u);
    // F20.d: magnitudes 2^-27 ... 2^24, which fit; E16.d: any finite float, denormals included.
    const uint32_t biased = 100u + static_cast<uint32_t>(rng() % 51u);
    const float f =
        std::bit_cast<float>((static_cast<uint32_t>(rng()) & 0x807FFFFFu) | biased << 23);
    const float e = std::bit_cast<float>(static_cast<uint32_t>(rng()));
    const std::string fixed = field('F', 20, d, f), exponent = field('E', 16, d, e);
    ASSERT_EQ(fixed.size(), 20u) << fixed;
    expectWithinHalfUnit(fixed, f, -d);
    if (!std::isfinite(e)) continue;
    ASSERT_EQ(exponent.size(), 16u) << exponent;
    const char lead = exponent[exponent.find('.') - 1];
    ASSERT_TRUE(e == 0.0f ? lead == '0' : (lead >= '1' && lead <= '9')) << exponent;
    expectWithinHalfUnit(exponent, e, std::atoi(&exponent[exponent.find('E') + 1]) - d);
  }
}

// The shortcuts give std::to_chars' digits exactly, halfway cases included: random floats of every
// magnitude the shortcuts take, fields wide and narrow.
TEST(FieldWriters, DigitForDigitAsToChars) {
  auto reference = [](int32_t w, int32_t d, float value, std::chars_format format) {
    std::array<char, 64> buffer;
    const auto end =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, d).ptr;
    std::string text(buffer.data(), end);
    for (char& c : text)
      c = c == 'e' ? 'E' : c;
    const auto width = static_cast<std::size_t>(w);
    return text.size() > width ? std::string(width, '*')
                               : std::string(width - text.size(), ' ') + text;
  };
  std::mt19937 rng(20261208u);
  const int32_t widths[] = {5, 9, 12, 15, 19};
  for (int n = 0; n < 200000; ++n) {
    // Magnitudes 2^-30 ... 2^31, and now and then a value with few significant bits, so that
    // halfway cases come up.
    uint32_t bits = (static_cast<uint32_t>(rng()) & 0x807FFFFFu) | (97u + rng() % 62u) << 23;
    if (n % 4 == 0) bits &= 0xFFFFFF00u;
    const float value = std::bit_cast<float>(bits);
    const int32_t w = widths[rng() % 5u];
    const int32_t d = static_cast<int32_t>(rng() % 7u);
    ASSERT_EQ(field('F', w, d, value), reference(w, d, value, std::chars_format::fixed))
        << 'F' << w << '.' << d << ' ' << value;
    if (d > 0) {
      ASSERT_EQ(field('E', w, d, value), reference(w, d, value, std::chars_format::scientific))
          << 'E' << w << '.' << d << ' ' << value;
    }
  }
}

TEST(RecordWriter, BlanksFieldsAndRecordEnds) {
  std::string out;
  {
    RecordWriter r(out);
    r.X(3).text("a").X(4).end();  // blanks before a field are written, trailing ones dropped
    r.X(2).end().I(2, 7).end();   // dropped blanks do not reach the next record
    r.X(1).X(2).text("b").A("cd  ").X(5).end();  // blanks add up; an A field keeps its own blanks
    r.I(2, 100).text("x").end().end();           // overflow, then the record goes on; empty line
  }
  EXPECT_EQ(out, "   a\r\n\r\n 7\r\n   bcd  \r\n**x\r\n\r\n");
}

TEST(RecordWriter, RecordsLongerThanItsLineBuffer) {
  // Records are assembled in a buffer of a few thousand characters; longer ones, long blanks and
  // long texts go out in pieces, in order, and an unfinished record when the writer ends.
  const std::string longText(5000, 'T');
  std::string out;
  {
    RecordWriter r(out);
    r.X(2500).F(10, 3, 1.5f).X(3000).text(longText).I(3, 42).end();
    r.X(2).E(40, 2, 0.0021f).text("z").end();
    r.text(longText).F(8, 1, -2.25f);  // left unfinished
  }
  std::string expected = std::string(2500, ' ') + "     1.500" + std::string(3000, ' ') + longText +
                         " 42\r\n  " + std::string(32, ' ') + "2.10E-03z\r\n" + longText +
                         "    -2.2";
  EXPECT_EQ(out, expected);
}

}  // namespace
}  // namespace tcsum
