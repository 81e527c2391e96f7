#include "ensdf/command.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "core/fatal.hpp"
#include "driver/run.hpp"
#include "support/ensdf.hpp"

namespace tcsum::ensdf {
namespace {

using test::ensdfRecord;
namespace fs = std::filesystem;

// Two data sets of one file: Co-60 (ground state) and the isomer's IT decay.
std::string co60() {
  return ensdfRecord({{1, " 60NI"}, {10, "60CO B- DECAY (1925.28 D)"}}) +
         ensdfRecord({{1, " 60CO"}, {8, "P"}, {10, "0.0"}, {40, "1925.28 D"}}) +
         ensdfRecord({{1, " 60NI"}, {8, "N"}, {10, "1.0"}, {32, "1.0"}, {42, "1.0"}}) +
         ensdfRecord({{1, " 60NI"}, {8, "L"}, {10, "0.0"}}) +
         ensdfRecord({{1, " 60NI"}, {8, "L"}, {10, "1332.508"}}) +
         ensdfRecord({{1, " 60NI"}, {8, "G"}, {10, "1332.492"}, {22, "99.9826"}}) +
         ensdfRecord({{1, " 60NI"}, {6, "S"}, {8, "G"}, {10, "CC=0.0001625 23$KC=0.0001137 16"}}) +
         ensdfRecord({{1, " 60NI"}, {8, "L"}, {10, "2505.748"}}) +
         ensdfRecord({{1, " 60NI"}, {8, "B"}, {10, "317.88"}, {22, "99.88"}}) +
         ensdfRecord({{1, " 60NI"}, {8, "G"}, {10, "1173.228"}, {22, "99.85"}, {30, "LT"}}) + "\n" +
         ensdfRecord({{1, " 60CO"}, {10, "60CO IT DECAY (10.467 M)"}}) +
         ensdfRecord({{1, " 60CO"}, {8, "P"}, {10, "58.59"}, {40, "10.467 M"}}) +
         ensdfRecord({{1, " 60CO"}, {8, "L"}, {10, "0.0"}});
}

class Command : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tcsum_ensdf_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    std::ofstream(dir_ / "co60.ens", std::ios::binary) << co60();
    std::ofstream(dir_ / "eff.csv", std::ios::binary)
        << "energy_keV,total,peak\n5,0.03987,0.03908\n100,0.2415,0.234\n4000,0.1439,0.01597\n";
    options_.files = {(dir_ / "co60.ens").string()};
  }
  void TearDown() override { fs::remove_all(dir_); }
  int run() { return ensdf::run(options_, out_, err_); }

  fs::path dir_;
  Options options_;
  std::ostringstream out_, err_;
};

TEST_F(Command, CompleteDataFileRunsThroughTheProgram) {
  options_.nuclide = "Co-60";
  options_.efficiency = (dir_ / "eff.csv").string();
  options_.detector = 14;
  options_.detectorGiven = true;
  ASSERT_EQ(run(), 0) << err_.str();
  const std::string data = out_.str();
  EXPECT_NE(data.find("CO-60     B-"), std::string::npos);
  EXPECT_TRUE(data.ends_with("33 1\nE\n"));
  // One line per warning, naming the file, line and data set.
  EXPECT_EQ(err_.str(),
            "warning: " + options_.files[0] +
                ":10: 60CO B- DECAY (1925.28 D): RI of the 1173.228 "
                "keV gamma 99.85 LT taken as given\n"
                "warning: " +
                options_.files[0] +
                ":10: 60CO B- DECAY (1925.28 D): no conversion "
                "coefficient, 0 written: ALPHA for 1173.228; ALPHAK for 1173.228 keV\n");
  std::istringstream in(data);
  auto store = std::make_unique<Store>();
  Report report;
  EXPECT_NO_THROW(tcsum::run(*store, in, report, [] { return CalendarDate{1, 1, 2026}; }));
  EXPECT_EQ(store->NLEV, 3);
}

TEST_F(Command, NuclideFormsSelectTheirBranchOnly) {
  for (const char* name : {"CO60", "60co", "Co-60"}) {
    options_.nuclide = name;
    out_.str("");
    EXPECT_EQ(run(), 0) << name;
    EXPECT_NE(out_.str().find("CO-60"), std::string::npos) << name;
    EXPECT_EQ(out_.str().find("CO-60M"), std::string::npos) << name;
  }
  options_.nuclide = "CO60M";  // the isomer's IT data set: no normalisation
  err_.str("");
  EXPECT_EQ(run(), 1);
  EXPECT_NE(err_.str().find("refused: " + options_.files[0] +
                            ":12: 60CO IT DECAY (10.467 M): "
                            "no normalisation record"),
            std::string::npos)
      << err_.str();
  options_.nuclide = "60";
  EXPECT_EQ(run(), 2);
}

TEST_F(Command, ListAndUsageErrors) {
  options_.list = true;
  ASSERT_EQ(run(), 0);
  const std::string list = out_.str();
  EXPECT_NE(list.find("60CO B- DECAY (1925.28 D): parent CO-60, daughter 60NI, mode B-, 3 levels, "
                      "2 gammas: converts (1 data set"),
            std::string::npos)
      << list;
  EXPECT_NE(list.find("refused: no normalisation"), std::string::npos) << list;
  options_.list = false;
  options_.isomerThreshold = "soon";
  EXPECT_EQ(run(), 2);
  options_.isomerThreshold = "1 us";
  options_.name = "TOO-LONG-NAME";
  EXPECT_EQ(run(), 2);
  options_.name = "";
  options_.files = {(dir_ / "missing.ens").string()};
  EXPECT_EQ(run(), 1);
}

TEST_F(Command, NamesThatCannotHeadADataSetAreRefused) {
  // "E" heads the end marker in the data file: the run would compute nothing.
  for (const char* name : {"E", "E  ", "   ", "CO\x1b[2J"}) {
    options_.name = name;
    err_.str("");
    EXPECT_EQ(run(), 2) << name;
    EXPECT_NE(err_.str().find("--name"), std::string::npos);
    EXPECT_EQ(err_.str().find('\x1b'), std::string::npos);
  }
  options_.name = "EU-152";
  options_.output = "-";
  EXPECT_EQ(run(), 0) << err_.str();
}

TEST_F(Command, ListingOntoAFullDeviceFails) {
  std::ofstream full("/dev/full");
  if (!full) GTEST_SKIP() << "no /dev/full";
  options_.list = true;
  EXPECT_EQ(ensdf::run(options_, full, err_), 1);
  EXPECT_NE(err_.str().find("cannot write the listing"), std::string::npos);
}

TEST_F(Command, WithoutEfficiencyOnlyDataSetsAndANote) {
  options_.dataset = "60CO B- DECAY (1925.28 D)";
  options_.output = (dir_ / "out.txt").string();
  ASSERT_EQ(run(), 0);
  std::ifstream in(options_.output);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first.substr(0, 6), "CO-60 ");
  EXPECT_NE(err_.str().find("note: "), std::string::npos);
  EXPECT_TRUE(out_.str().empty());
}

// The efficiency table of the converter, read by the strict CSV reader, and
// the bounds every input file is read with: each refusal one line, exit 1.
TEST_F(Command, EfficiencyFilesThatCannotBeATableAreRefused) {
  options_.nuclide = "Co-60";
  auto refusal = [this](const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    options_.efficiency = (dir_ / name).string();
    err_.str("");
    out_.str("");
    const int status = run();
    std::string error = err_.str();
    const std::size_t at = error.find("error: ");
    error = at == std::string::npos ? error : error.substr(at);
    EXPECT_EQ(status, 1) << name;
    EXPECT_TRUE(out_.str().empty()) << name;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    return error;
  };
  const std::string head = "energy_keV,total,peak\n";
  EXPECT_NE(refusal("semi.csv", "energy_keV;total;peak\n100;0.3;0.1\n").find("semicolons"),
            std::string::npos);
  EXPECT_NE(refusal("percent.csv", head + "100,30,10\n500,20,5\n1000,15,3\n").find("percent"),
            std::string::npos);
  EXPECT_NE(refusal("mev.csv", head + "0.1,0.3,0.1\n0.5,0.2,0.05\n2,0.15,0.02\n").find("MeV"),
            std::string::npos);
  EXPECT_NE(refusal("two.csv", head + "100,0.3,0.1\n1000,0.15,0.03\n").find("2 points"),
            std::string::npos);
  EXPECT_NE(refusal("bare.csv", "100,0.3,0.1\n500,0.2,0.05\n1000,0.15,0.03\n").find("heading"),
            std::string::npos);
  // Columns by their headings, in any order: the same block as in the usual order.
  options_.efficiency = (dir_ / "eff.csv").string();
  ASSERT_EQ(run(), 0) << err_.str();
  const std::string usual = out_.str();
  std::ofstream(dir_ / "shuffled.csv", std::ios::binary)
      << "peak,energy_keV,total\n0.03908,5,0.03987\n0.234,100,0.2415\n0.01597,4000,0.1439\n";
  options_.efficiency = (dir_ / "shuffled.csv").string();
  out_.str("");
  ASSERT_EQ(run(), 0) << err_.str();
  EXPECT_EQ(out_.str(), usual);
}

TEST_F(Command, InputsThatAreNoFilesAreRefusedInOneLine) {
  options_.nuclide = "Co-60";
  options_.files = {dir_.string()};
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(err_.str(), "error: " + dir_.string() + ": is a directory, not a file\n");
  options_.files = {(dir_ / "co60.ens").string()};
  options_.efficiency = dir_.string();
  err_.str("");
  EXPECT_EQ(run(), 1);
  EXPECT_NE(err_.str().find("error: " + dir_.string() + ": is a directory"), std::string::npos)
      << err_.str();
  if (fs::exists("/dev/zero")) {
    options_.efficiency = "/dev/zero";
    err_.str("");
    EXPECT_EQ(run(), 1);
    EXPECT_NE(err_.str().find("error: /dev/zero: longer than"), std::string::npos) << err_.str();
  }
}

// Bytes of an ENSDF file that would drive a terminal are shown escaped.
TEST_F(Command, ControlBytesOfTheDataSetAreEscaped) {
  std::string text = co60();
  text.replace(text.find("60CO B- DECAY"), 4, "\x1b[2J");
  std::ofstream(dir_ / "co60.ens", std::ios::binary) << text;
  options_.list = true;
  ASSERT_EQ(run(), 0) << err_.str();
  EXPECT_EQ(out_.str().find('\x1b'), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("\\x1B[2J B- DECAY"), std::string::npos) << out_.str();
  options_.list = false;
  options_.nuclide = "Co-60";
  ASSERT_EQ(run(), 0) << err_.str();
  EXPECT_EQ(err_.str().find('\x1b'), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("\\x1B[2J B- DECAY"), std::string::npos) << err_.str();
}

}  // namespace
}  // namespace tcsum::ensdf
