// Numbers and text of the data outputs: the shortest decimal reads back to the
// same float, the data file's code page comes out as UTF-8, CSV fields quote
// what would break a row.
#include "outputs/text.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <limits>
#include <random>

#include "outputs/csv_writer.hpp"

namespace tcsum {
namespace {

TEST(OutputText, ShortestDecimalReadsBackToTheSameFloat) {
  EXPECT_EQ(shortestDecimal(0.4212f), "0.4212");
  EXPECT_EQ(shortestDecimal(1e-5f), "1e-05");
  EXPECT_EQ(shortestDecimal(-0.0f), "-0");
  EXPECT_EQ(shortestDecimal(std::numeric_limits<float>::infinity()), "");
  EXPECT_EQ(shortestDecimal(std::numeric_limits<float>::quiet_NaN()), "");
  std::mt19937 bits(12);
  for (int i = 0; i < 100000; ++i) {
    const float value = std::bit_cast<float>(static_cast<uint32_t>(bits()));
    if (!std::isfinite(value)) continue;
    const std::string text = shortestDecimal(value);
    float back = 0.0f;
    std::from_chars(text.data(), text.data() + text.size(), back);
    ASSERT_EQ(std::bit_cast<uint32_t>(back), std::bit_cast<uint32_t>(value)) << text;
  }
}

TEST(OutputText, CodePage437AndCsvQuoting) {
  EXPECT_EQ(utf8FromCodePage437("Bev\x94lkert \xE6"
                                "Co"),
            "Bevölkert µCo");
  EXPECT_EQ(csvField("CO-60"), "CO-60");
  EXPECT_EQ(csvField("A,\"B\""), "\"A,\"\"B\"\"\"");
}

}  // namespace
}  // namespace tcsum
