// Record groups that the example reports cannot pin down (the date line is masked there, their
// tables are shorter), against bytes worked out by hand; and records reaching the disk through
// the report's buffer. The existing-report cases run end to end in the bad-input table.
#include "report/report.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tcsum {
namespace {

namespace fs = std::filesystem;
std::string blanks(std::size_t n) {
  return std::string(n, ' ');
}

TEST(ReportRecords, HeadingsAndLevelList) {
  const std::vector<LevelResult> levels = {
      {1, 0.0f, 0.0f, 0.0f, 0.0f},
      {2, 1332.51f, 0.12f, 0.7654321f, 0.0f}};  // 1332.51000977, 0.119999997, 0.765432119
  Report r;
  r.open();
  writeDateHeading(r, 5, 3, 2026);
  writeLevelList(r, levels);
  writeTransitionHeading(r);
  writeBalanceWarning(r);
  writeSeparator(r);
  writeResultsHeading(r);
  EXPECT_EQ(r.contents(),
            "\r\n\r\n" + blanks(107) + "Rechendatum:  5. 3.2026\r\n\r\n" +  // columns 108-130
                "\r\n\r\n          ENERGIENIVEAUS(KEV)\r\n\r\n" + blanks(19) +
                "1            0.00         0.00000 %         0.00000\r\n" + blanks(19) +
                "2         1332.51         0.12000 %         0.76543\r\n"
                "\r\n\r\n           UEBERGANG      ENERGIE(KEV)  INTENSITAET(%)           ALPHA"
                "             ALPHAK          EPST          EPS\r\n\r\n"
                "\r\n     WARNUNG!    Zerfallsdaten inkonsistent.\r\n\r\n"
                "\r\n\r\n"
                "\r\n\r\n\r\n" +
                blanks(43) + "REL. IMPULSANZ.     KORR.FAKTOR\r\n\r\n");
}

TEST(ReportRecords, EfficiencyTableOf29Points) {
  std::vector<EfficiencyPoint> table;
  for (int32_t k = 1; k <= 29; ++k) {
    const auto x = static_cast<float>(k);
    table.push_back({100.0f * x, 1.5f * x, 0.25f * x});
  }
  Report r;
  writeEfficiencyTable(r, table);
  std::string expected = blanks(10) + " WERTE FUER NACHWEISWAHRSCHEINLICHKEITEN(*10**3):\r\n\r\n" +
                         blanks(17) + "E       EPST      EPS\r\n\r\n";
  for (int k = 1; k <= 29; ++k) {  // the rows formatted by printf, in double
    char row[48];
    std::snprintf(row, sizeof row, "%10s%10.1f%10.3f%10.3f\r\n", "", 100.0 * k, 1.5 * k, 0.25 * k);
    expected += row;
  }
  EXPECT_EQ(r.contents(), expected + "\r\n");
}

class ReportFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/report_test_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    path_ = dir_ / "result.out";
  }
  void TearDown() override { fs::remove_all(dir_); }
  static std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return (std::ostringstream() << in.rdbuf()).str();
  }
  fs::path dir_, path_;
};

TEST_F(ReportFile, RecordsOfEveryDataSetAreOnDiskAfterClose) {
  Report file(path_.string()), memory;
  for (Report* r : {&file, &memory}) {
    for (int32_t set = 0; set < 2; ++set) {  // each data set opens the report again
      r->open();
      for (int32_t row = 0; row < 1000; ++row)
        writeResultRow(*r, 1.0f * row, 2.0f, 3.0f);
    }
  }
  file.close();
  const std::string onDisk = read(path_);
  ASSERT_EQ(onDisk.size(), 150000u);  // 2000 records of 73 characters and CR LF
  EXPECT_TRUE(onDisk == memory.contents());
}

}  // namespace
}  // namespace tcsum
