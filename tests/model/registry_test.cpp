// The registry: the models by name and kind, the complete model behind it,
// and a scheme model plugged in by one registration and run by `tcsum
// factors` end to end.
#include "model/registry.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "complete/support.hpp"
#include "driver/factors_command.hpp"

namespace tcsum {
namespace {

namespace fs = std::filesystem;

TEST(Registry, ModelsByNameAndKind) {
  const ModelRegistry models = builtinModels();
  EXPECT_EQ(models.names(), std::vector<std::string>{kClassicModel});
  EXPECT_EQ(models.schemeModelNames(), std::vector<std::string>{kCompleteModel});
  // Each name belongs to its kind only.
  EXPECT_EQ(models.make(kCompleteModel), nullptr);
  EXPECT_FALSE(models.schemeModel(kClassicModel));
  EXPECT_FALSE(models.schemeModel("none"));
  EXPECT_NE(models.make(kClassicModel), nullptr);
}

TEST(Registry, TheCompleteModelIsReachedByItsName) {
  // 2 -> 1 -> 0 with a crossover 2 -> 0: the registry's model is the
  // complete model itself, bit for bit.
  const DecayScheme scheme = test::makeScheme({{0.0}, {400.0}, {1200.0, 100.0}},
                                              {{2, 1, 80.0}, {1, 0, 90.0}, {2, 0, 20.0}});
  const SchemeModel model = builtinModels().schemeModel(kCompleteModel);
  ASSERT_TRUE(model);
  const complete::Settings settings;
  const complete::Result viaRegistry = model(scheme, test::pointSource(), settings);
  const complete::Result direct = complete::compute(scheme, test::pointSource(), settings);
  ASSERT_EQ(viaRegistry.lines.size(), direct.lines.size());
  ASSERT_GE(direct.lines.size(), 3u);
  for (std::size_t k = 0; k < direct.lines.size(); ++k) {
    EXPECT_EQ(viaRegistry.lines[k].energy, direct.lines[k].energy);
    EXPECT_EQ(viaRegistry.lines[k].factor, direct.lines[k].factor);
  }
}

// A model without coincidences: each gamma's count is its emission times
// its peak efficiency, with and without them, factor 1.
complete::Result unitModel(const DecayScheme& s, const SourceEfficiency& source,
                           const complete::Settings&) {
  complete::Result r;
  const Efficiency& e = *source.front().efficiency;
  for (const SchemeTransition& t : s.transitions) {
    const EfficiencyPair eff = e.at(t.energy);
    r.photons.push_back({LineKind::gamma, "", t.upper, t.lower, t.energy, t.gamma, eff});
    const double count = t.gamma * eff.peak;
    r.lines.push_back({LineKind::gamma, "", t.upper, t.lower, t.energy, t.gamma, count, count, 1.0});
  }
  return r;
}

TEST(Registry, ASchemeModelPluggedInRunsTheFactorsCommand) {
  ModelRegistry models = builtinModels();
  models.addSchemeModel("unit", unitModel);
  EXPECT_EQ(models.schemeModelNames(), (std::vector<std::string>{kCompleteModel, "unit"}));

  const fs::path dir = fs::temp_directory_path() / ("tcsum_registry_test_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "eff.csv") << "energy_keV,total,peak\n100,0.4,0.2\n2000,0.2,0.03\n";
  std::ofstream(dir / "TALVEN") << "read by the stand-in reader only\n";
  complete::FactorsServices services;
  services.compute = models.schemeModel("unit");
  services.dataFile = [](const std::string& path) {
    complete::LoadedScheme loaded;
    loaded.scheme = test::makeScheme({{0.0}, {1332.5}, {2505.7, 100.0}},
                                     {{2, 1, 99.85}, {1, 0, 99.98}});
    loaded.scheme.name = "CO60";
    loaded.scheme.source = path;
    return std::vector<complete::LoadedScheme>{loaded};
  };
  std::vector<std::string> args = {"factors", "-i", (dir / "TALVEN").string(), "--efficiency",
                                   (dir / "eff.csv").string(), "--csv", (dir / "lines.csv").string(),
                                   "-q"};
  std::vector<char*> argv;
  for (std::string& a : args)
    argv.push_back(a.data());
  std::ostringstream out, err;
  const auto parsed =
      complete::parseFactorsCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  ASSERT_TRUE(std::holds_alternative<complete::FactorsOptions>(parsed)) << err.str();
  const int status = complete::runFactors(std::get<complete::FactorsOptions>(parsed), services, out, err);
  std::ifstream file(dir / "lines.csv", std::ios::binary);
  std::istringstream csv(std::string(std::istreambuf_iterator<char>(file), {}));
  fs::remove_all(dir);
  ASSERT_EQ(status, 0) << err.str();

  // The header and one row per gamma line, each with the unit model's factor.
  std::string row;
  std::vector<std::string> rows;
  while (std::getline(csv, row))
    if (!row.empty()) rows.push_back(row);
  ASSERT_EQ(rows.size(), 3u) << csv.str();
  EXPECT_TRUE(rows[0].ends_with(",factor")) << rows[0];
  for (std::size_t k = 1; k < rows.size(); ++k) {
    EXPECT_NE(rows[k].find(",gamma,"), std::string::npos) << rows[k];
    EXPECT_TRUE(rows[k].ends_with(",1")) << rows[k];
  }
}

}  // namespace
}  // namespace tcsum
