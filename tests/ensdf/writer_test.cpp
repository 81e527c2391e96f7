#include "ensdf/writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "core/store.hpp"
#include "input/fields.hpp"
#include "input/reader.hpp"

namespace tcsum::ensdf {
namespace {

float readBack(const std::string& text) {
  float v = 0.0f;
  EXPECT_TRUE(convertReal(text, v)) << text;
  return v;
}

TEST(Writer, FieldsFitTenColumnsAndReadBackToTheSameFloat) {
  EXPECT_EQ(formatField(0.0f), "0.0");
  EXPECT_EQ(formatField(2.0e-6f), "0.000002");  // no exponent where plain digits fit
  EXPECT_EQ(formatField(1332.508f), "1332.508");
  EXPECT_EQ(formatField(100.0f), "100.0");
  // Every float written reads back to itself where 10 columns allow, and to
  // at least 6 significant digits everywhere.
  for (float v : {0.0001625f, 1.234567e-7f, -3.3e-9f, 99.9826f, 123456789.0f, 3.4e38f, 1e-40f, 0.1f,
                  7.566908f, 16777217.0f}) {
    const std::string text = formatField(v);
    ASSERT_LE(text.size(), 10u) << text;
    const float back = readBack(text);
    EXPECT_LE(std::fabs(back - v), std::fabs(v) * 5e-6f) << text;
  }
  EXPECT_EQ(formatField(1.234567e-7f), "1.23457E-7");
}

TEST(Writer, DataSetRecordsRunLevelNumbersTogether) {
  OutSet s;
  s.name = "EU-152";
  s.mode = "EC";
  s.capture = true;
  s.ex = 41.04139f;
  s.omegak = 0.9255f;
  for (int i = 0; i < 13; ++i)
    s.levels.push_back({i * 100.0f, 1.0f, 0.8f});
  s.transitions.push_back({13, 11, 148.0f, 0.0204f, 0.569f, 0.45f});
  std::string text;
  writeDataSet(s, text);
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "EU-152    EC          41.04139    0.9255");
  std::getline(lines, line);
  EXPECT_EQ(line, "       0.0       1.0       0.8");
  for (int i = 0; i < 13; ++i)
    std::getline(lines, line);
  EXPECT_EQ(line, "       0.0");  // ends the levels
  std::getline(lines, line);
  EXPECT_EQ(line, "1311           148.0    0.0204     0.569      0.45");
  std::getline(lines, line);
  EXPECT_EQ(line, "33 1");
}

TEST(Writer, CsvEfficienciesBecomeABlockTheReaderTakes) {
  std::string block, error;
  ASSERT_TRUE(efficiencyFromCsv("energy_keV,total,peak\r\n5,0.03987,0.03908\n4000,0.1439,0.01597\n",
                                14, "N-COAX 40%", block, error))
      << error;
  std::istringstream in(block);
  DataFile file(in);
  auto s = std::make_unique<Store>();
  readEfficiencyBlock(file, *s);
  EXPECT_EQ(s->NEFF, 2);  // both rows; the closing record repeats the last
  EXPECT_EQ(s->KDET1, 1);
  EXPECT_EQ(s->KDET, 4);
  EXPECT_FLOAT_EQ(s->EFF(2, 1), 39.87f);
  EXPECT_FLOAT_EQ(s->EFF(3, 2), 15.97f);
  EXPECT_EQ(std::string(s->DETTXT.data(), 10), "N-COAX 40%");

  std::string rows;
  for (int i = 1; i <= 30; ++i)
    rows += std::to_string(i) + ",0.1,0.1\n";
  EXPECT_FALSE(efficiencyFromCsv(rows, 0, "", block, error));
  EXPECT_FALSE(efficiencyFromCsv("10,0.1,0.1\n5,0.1,0.1\n", 0, "", block, error));
  EXPECT_NE(error.find("ascend"), std::string::npos);
  EXPECT_FALSE(efficiencyFromCsv("10,0.1,x\n", 0, "", block, error));
}

TEST(Writer, DataFileBlockIsCopiedToItsClosingRecord) {
  const std::string data =
      "       5.0     39.87     39.08          14        DET, ON CAP\r\n"
      "     100.0     241.5     234.0          1\n"
      "    4000.0     143.9     15.97          0\n"
      "CO-60     B-             7.567    0.4212\n";
  std::string block, error;
  ASSERT_TRUE(efficiencyFromDataFile(data, 7, "", block, error)) << error;
  EXPECT_EQ(block.substr(40, 2), "07");
  EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 3);
  const std::size_t secondEnd = data.find('\n', data.find('\n') + 1);
  EXPECT_FALSE(efficiencyFromDataFile(data.substr(0, secondEnd + 1), -1, "", block, error));
}

}  // namespace
}  // namespace tcsum::ensdf
