// The options of the uncertainty propagation: what turns it on, the defaults
// it records, and values that would give meaningless numbers.
#include "cli/command_line.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "uncertainty/propagation.hpp"

namespace tcsum {
namespace {

Command parse(std::vector<const char*> args, std::string* error = nullptr) {
  args.insert(args.begin(), "tcsum");
  std::ostringstream out, err;
  auto result = parseCommandLine(static_cast<int>(args.size()), args.data(), out, err);
  if (error) *error = err.str();
  return result;
}

TEST(CommandLine, UncertaintyOnlyWithAnEfficiencyUncertainty) {
  const auto plain = std::get<ProgramOptions>(parse({}));
  EXPECT_FALSE(plain.uncertainty);
  EXPECT_EQ(plain.jobs, 0);  // one per core

  const auto peak = std::get<ProgramOptions>(parse({"--u-peak", "0"}));
  ASSERT_TRUE(peak.uncertainty);
  EXPECT_EQ(peak.uncertainty->samples, kDefaultSamples);
  EXPECT_EQ(peak.uncertainty->seed, kDefaultSeed);
  EXPECT_EQ(peak.uncertainty->correlation, EfficiencyCorrelation::full);

  const auto all = std::get<ProgramOptions>(parse(
      {"--u-total", "12.5", "--u-correlation", "none", "--samples", "500", "--seed", "0", "-q"}));
  ASSERT_TRUE(all.uncertainty);
  EXPECT_EQ(all.uncertainty->uTotalPercent, 12.5f);
  EXPECT_EQ(all.uncertainty->correlation, EfficiencyCorrelation::none);
  EXPECT_EQ(all.uncertainty->samples, 500);
  EXPECT_EQ(all.uncertainty->seed, 0u);
  EXPECT_TRUE(all.quiet);

  std::string error;
  EXPECT_EQ(std::get<int>(parse({"--seed", "5"}, &error)), kExitUsage);
  EXPECT_EQ(error, "tcsum: --seed: needs --u-total or --u-peak (see tcsum --help)\n");
}

TEST(CommandLine, RefusesUncertaintiesThatGiveNoNumbers) {
  for (const char* value : {"nan", "inf", "-1", "100.5", "abc", ""}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(std::get<int>(parse({"--u-total", value})), kExitUsage);
    EXPECT_EQ(std::get<int>(parse({"--u-peak", value})), kExitUsage);
  }
  EXPECT_EQ(std::get<int>(parse({"--u-total", "1", "--samples", "1"})), kExitUsage);
  EXPECT_EQ(std::get<int>(parse({"--u-total", "1", "--seed", "9007199254740992"})), kExitUsage);
  EXPECT_EQ(std::get<int>(parse({"--u-total", "1", "--seed", ""})), kExitUsage);
  EXPECT_EQ(std::get<int>(parse({"--jobs", "0"})), kExitUsage);
}

TEST(CommandLine, EnsdfRefusesAnEmptyNuclide) {
  std::string error;
  EXPECT_EQ(std::get<int>(parse({"ensdf", "--nuclide", "", "x.ens"}, &error)), kExitUsage);
  EXPECT_NE(error.find("--nuclide"), std::string::npos) << error;
  EXPECT_EQ(std::get<int>(parse({"ensdf", "--nuclide=", "x.ens"}, &error)), kExitUsage);
}

// "--json=" once took the next word as the file name (a file "-q" was
// created); every option given with an empty value is refused now.
TEST(CommandLine, EmptyValuesNameNoFile) {
  for (const char* option : {"--json=", "--csv=", "--html=", "--input=", "--report="}) {
    SCOPED_TRACE(option);
    std::string error;
    EXPECT_EQ(std::get<int>(parse({option, "-q"}, &error)), kExitUsage);
    EXPECT_NE(error.find("empty value"), std::string::npos) << error;
  }
  for (const char* option : {"-i", "-o", "--json", "--csv", "--html"})
    EXPECT_EQ(std::get<int>(parse({option, ""})), kExitUsage) << option;
  EXPECT_EQ(std::get<int>(parse({"ensdf", "--efficiency=", "x.ens"})), kExitUsage);
  EXPECT_EQ(std::get<int>(parse({"ensdf", "-o", "", "x.ens"})), kExitUsage);
  // A value that merely ends in "=" is no empty value.
  EXPECT_EQ(std::get<ProgramOptions>(parse({"--json=a=", "-q"})).json, "a=");
}

TEST(CommandLine, UsageErrorsShowControlBytesEscaped) {
  std::string error;
  EXPECT_EQ(std::get<int>(parse({"--bogus\x1b[2J"}, &error)), kExitUsage);
  EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
  EXPECT_NE(error.find("--bogus\\x1B[2J"), std::string::npos) << error;
  EXPECT_EQ(std::get<int>(parse({"--csv", "a\rb", "--json", "a\rb"}, &error)), kExitUsage);
  EXPECT_NE(error.find("a\\x0Db: named for two outputs"), std::string::npos) << error;
}

// Outputs that do not exist yet, spelt differently: one file all the same.
TEST(CommandLine, OneNewFileUnderTwoSpellingsIsRefused) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("tcsum_cli_" + std::to_string(::getpid()));
  fs::create_directories(dir / "sub");
  std::ofstream(dir / "data") << "x";
  const fs::path before = fs::current_path();
  fs::current_path(dir);
  const std::string absolute = (dir / "r.out").string();
  const std::vector<std::vector<const char*>> clashes = {
      {"-o", "r.out", "--json", "./r.out"},
      {"-o", "r.out", "--csv", absolute.c_str()},
      {"--no-report", "--json", "sub/../r.out", "--html", "r.out"},
  };
  for (const auto& args : clashes) {
    std::string error;
    EXPECT_EQ(std::get<int>(parse(args, &error)), kExitUsage) << args[1] << " " << args[3];
    EXPECT_NE(error.find("named for two outputs"), std::string::npos) << error;
  }
  std::string error;
  EXPECT_EQ(
      std::get<int>(parse({"-i", "data", "--force", "--csv", (dir / "data").c_str()}, &error)),
      kExitUsage);
  EXPECT_NE(error.find("the data file is named as an output"), std::string::npos) << error;
  // Different names in one folder, and the same name in two folders, are fine.
  EXPECT_TRUE(std::holds_alternative<ProgramOptions>(parse({"-o", "r.out", "--json", "r.json"})));
  EXPECT_TRUE(
      std::holds_alternative<ProgramOptions>(parse({"-o", "r.out", "--json", "sub/r.out"})));
  EXPECT_FALSE(fs::exists(dir / "r.out"));
  fs::current_path(before);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tcsum
