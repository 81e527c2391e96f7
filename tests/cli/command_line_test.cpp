// The options of the uncertainty propagation: what turns it on, the defaults
// it records, and values that would give meaningless numbers.
#include "cli/command_line.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tcsum
