#include "efficiency/csv_table.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "efficiency/text_file.hpp"

namespace tcsum::efficiency {
namespace {

std::string refusal(std::string_view text, const CsvRules& rules = {}) {
  try {
    parseEfficiencyCsv(text, "eff.csv", rules);
  } catch (const InputFileError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(EfficiencyCsv, ReadsColumnsByTheirHeadingsInAnyOrder) {
  const auto points = parseEfficiencyCsv(
      "\xEF\xBB\xBF# detector 14\r\npeak, Energy_keV ,total,note\r\n0.1,100,0.3,a\r\n\r\n"
      "0.01,1000,\"0.12\",b\r\n",
      "eff.csv");
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].energy, 100.0);
  EXPECT_EQ(points[0].total, 0.3);
  EXPECT_EQ(points[0].peak, 0.1);
  EXPECT_EQ(points[0].line, 3);
  EXPECT_EQ(points[1].energy, 1000.0);
  EXPECT_EQ(points[1].total, 0.12);
  EXPECT_EQ(points[1].line, 5);
  // The last line needs no line end.
  EXPECT_EQ(parseEfficiencyCsv("energy_keV,total,peak\n50,0.3,0.2\n60,0.3,0.2", "e").size(), 2u);
}

TEST(EfficiencyCsv, RefusesEachRuleWithFileLineAndReason) {
  const std::string head = "energy_keV,total,peak\n";
  EXPECT_EQ(refusal("energy_keV;total;peak\n100;0.3;0.1\n"),
            "eff.csv:1: not comma separated: the cells are separated by semicolons; write "
            "energy_keV,total,peak");
  EXPECT_EQ(refusal("energy_keV\ttotal\tpeak\n"),
            "eff.csv:1: not comma separated: the cells are separated by tabs; write "
            "energy_keV,total,peak");
  EXPECT_EQ(refusal("100,0.3,0.1\n200,0.2,0.05\n"),
            "eff.csv:1: no heading: the first line must name the columns, energy_keV,total,peak");
  EXPECT_EQ(refusal("energy,total,peak\n"),
            "eff.csv:1: the heading has no column energy_keV (it needs energy_keV, total and "
            "peak, in any order)");
  EXPECT_EQ(refusal("energy_keV,total,total,peak\n"), "eff.csv:1: column \"total\" named twice");
  EXPECT_EQ(refusal(head + "100,30,10\n200,20,5\n"),
            "eff.csv:2: total efficiency 30 is above 1: it looks like percent; give fractions "
            "(0.3 for 30 %)");
  EXPECT_EQ(refusal(head + "0.1,0.3,0.1\n0.5,0.2,0.05\n2.0,0.1,0.02\n"),
            "eff.csv:2: every energy is below 10 keV (the highest 2): they look like MeV; give "
            "energies in keV");
  EXPECT_EQ(refusal(head + "200,0.3,0.1\n100,0.2,0.05\n"),
            "eff.csv:3: energy 100 keV not above the previous 200 keV: energies must ascend");
  EXPECT_EQ(refusal(head + "200,0.3,0.1\n200,0.2,0.05\n"),
            "eff.csv:3: energy 200 keV not above the previous 200 keV: energies must ascend");
  EXPECT_EQ(refusal(head + "200,0.3,0.1\n"),
            "eff.csv:2: 1 point; the interpolation needs at least 2");
  EXPECT_EQ(refusal(head + "100,0.3,0.1\n200,0.3,0.1\n300,0.3,0.1\n", {.minPoints = 4}),
            "eff.csv:4: 3 points; the interpolation needs at least 4");
  EXPECT_EQ(refusal(head + "100,0.3,0.1\n200,0.3,0.1\n300,0.3,0.1\n", {.maxPoints = 2}),
            "eff.csv:4: more than 2 points");
  EXPECT_EQ(refusal(head + "100,0.3,0\n200,0.3,0.1\n"), "eff.csv:2: peak 0 is not positive");
  EXPECT_EQ(refusal(head + "100,0.1,0.3\n"), "eff.csv:2: peak efficiency 0.3 above the total 0.1");
  EXPECT_EQ(refusal(head + "100,0.3,nan\n"), "eff.csv:2: peak \"nan\" is not a number");
  EXPECT_EQ(refusal(head + "100,0.3,0.1x\n"), "eff.csv:2: peak \"0.1x\" is not a number");
  EXPECT_EQ(refusal(head + "100,0.3\n"), "eff.csv:2: 2 cells where the heading has 3");
  EXPECT_EQ(refusal(head + "100\x1b[31m\n"),
            "eff.csv:2: one cell only \"100\\x1B[31m\": a row has the comma-separated cells "
            "energy_keV,total,peak");
  EXPECT_EQ(refusal(""), "eff.csv:1: no table: empty or only comments");
}

TEST(EfficiencyCsv, BoundsTheRead) {
  auto readRefusal = [](const std::string& path) {
    try {
      readEfficiencyCsv(path);
    } catch (const InputFileError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  const auto dir = std::filesystem::temp_directory_path() /
                   ("tcsum_csv_table_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  EXPECT_EQ(readRefusal(dir.string()), dir.string() + ": is a directory, not a file");
  EXPECT_EQ(readRefusal("/dev/zero"), "/dev/zero: longer than 1048576 bytes: not such a file");
  EXPECT_EQ(readRefusal((dir / "missing.csv").string()),
            (dir / "missing.csv").string() + ": cannot open: No such file or directory");
  const auto longLine = (dir / "long.csv").string();
  std::ofstream(longLine) << std::string(5000, '1');
  EXPECT_EQ(readRefusal(longLine), longLine + ":1: line longer than 4096 characters");
  const auto nul = (dir / "nul.csv").string();
  std::ofstream(nul) << "energy_keV,total,peak\n1" << '\0' << "00,0.3,0.1\n";
  EXPECT_EQ(readRefusal(nul), nul + ":2: NUL byte: not a text file");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tcsum::efficiency
