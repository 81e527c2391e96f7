// The CSV of a run as a spreadsheet opens it: text fields that would run as
// formulas are kept as text, numbers stay numbers.
#include "outputs/csv_writer.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "outputs/factors_outputs.hpp"

namespace tcsum {
namespace {

TEST(CsvWriter, TextThatASpreadsheetWouldRunIsKeptAsText) {
  for (const char* formula : {"=1+2", "+CMD", "-2+3", "@SUM(A1)", "\tX", "\rX"}) {
    SCOPED_TRACE(formula);
    const std::string field = csvField(formula);
    EXPECT_TRUE(field.starts_with("\"'")) << field;
  }
  // Quoting still applies after the guard.
  EXPECT_EQ(csvField("=A,B"), "\"'=A,B\"");
  EXPECT_EQ(csvField("-\"x\""), "\"'-\"\"x\"\"\"");
  // Ordinary names, a sign inside the name, an apostrophe: unchanged.
  EXPECT_EQ(csvField("CO-60"), "CO-60");
  EXPECT_EQ(csvField("O'NEIL"), "O'NEIL");
  EXPECT_EQ(csvField(""), "");
}

// The CSV of tcsum factors guards its text fields (nuclide, DSID) alike.
TEST(CsvWriter, BothCsvOutputsGuardAlike) {
  for (const char* text : {"=1+2", "+CMD", "-2+3", "@SUM(A1)", "=A,B", "60CO B- DECAY", "CO-60"})
    EXPECT_EQ(csvField(text), complete::csvText(text)) << text;
}

TEST(CsvWriter, NegativeNumbersAreNoText) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("tcsum_csv_" + std::to_string(::getpid()) + ".csv"))
                               .string();
  OutputFile file(path, "CSV output", true);
  CsvWriter csv(file, false);
  DataSetResult ds;
  const std::string name = "=EVIL";
  std::copy(name.begin(), name.end(), ds.DSNAME.begin());
  std::fill(ds.DSNAME.begin() + static_cast<std::ptrdiff_t>(name.size()), ds.DSNAME.end(), ' ');
  ds.gammas.push_back({2, 1, 100.0f, -1.5f, 2.0f, -0.75f});
  std::string text;
  csv.format(ds, text);
  EXPECT_EQ(text, "\"'=EVIL\",gamma,2,1,100,-1.5,2,-0.75\n");
}

}  // namespace
}  // namespace tcsum
