#include "ensdf/number.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace tcsum::ensdf {
namespace {

TEST(Number, PlainAndExponentFormsWithTheStepOfTheLastDigit) {
  auto n = parseNumber("  35.90E+5");
  ASSERT_TRUE(n);
  EXPECT_DOUBLE_EQ(n->value, 3.59e6);
  EXPECT_DOUBLE_EQ(n->step, 1e3);
  n = parseNumber("5.E-7 ");
  ASSERT_TRUE(n);
  EXPECT_DOUBLE_EQ(n->value, 5e-7);
  EXPECT_DOUBLE_EQ(n->step, 1e-7);
  n = parseNumber("+100");
  ASSERT_TRUE(n);
  EXPECT_DOUBLE_EQ(n->value, 100.0);
  EXPECT_DOUBLE_EQ(n->step, 1.0);
}

TEST(Number, AnythingElseIsNotANumber) {
  for (const char* text :
       {"", "   ", "0+X", "X", "1.0.0", "1E", "1,5", "SN+1", "(12)", "1 2", "1E999", ".", "-"})
    EXPECT_FALSE(parseNumber(text)) << text;
}

TEST(Number, UncertaintyInUnitsOfTheLastDigitAndLimits) {
  Quantity q = readQuantity("1332.508", " 4");
  EXPECT_TRUE(q.numeric);
  EXPECT_NEAR(q.uncertainty, 0.004, 1e-12);
  EXPECT_EQ(q.limit, Limit::None);
  q = readQuantity("0.08", "+2-3");  // asymmetric: the larger side
  EXPECT_NEAR(q.uncertainty, 0.03, 1e-12);
  q = readQuantity("0.2", "LT");
  EXPECT_EQ(q.limit, Limit::LT);
  EXPECT_DOUBLE_EQ(q.value, 0.2);
  EXPECT_EQ(readQuantity("1.0", "AP").limit, Limit::AP);
  EXPECT_EQ(readQuantity("1.0", "SY").limit, Limit::SY);
  q = readQuantity("0+X", "");
  EXPECT_TRUE(q.given);
  EXPECT_FALSE(q.numeric);
}

TEST(Number, DurationsWidthsAndStable) {
  EXPECT_DOUBLE_EQ(*parseDuration("39.79 S"), 39.79);
  EXPECT_DOUBLE_EQ(*parseDuration("6.283 NS"), 6.283e-9);
  EXPECT_DOUBLE_EQ(*parseDuration("2.552 M"), 2.552 * 60);  // ENSDF M is minutes
  EXPECT_DOUBLE_EQ(*parseDuration("1.20E+3 Y"), 1.2e3 * 31556952.0);
  EXPECT_DOUBLE_EQ(*parseDuration("1us"), 1e-6);
  EXPECT_DOUBLE_EQ(*parseDuration("17.6 ms"), 17.6e-3);
  EXPECT_TRUE(std::isinf(*parseDuration("STABLE")));
  EXPECT_LT(*parseDuration("0.8 EV"), 1e-15);
  for (const char* text : {"", "fast", "-1 s", "1 parsec", "1 S S"})
    EXPECT_FALSE(parseDuration(text)) << text;
}

}  // namespace
}  // namespace tcsum::ensdf
