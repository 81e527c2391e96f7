// The JSON text of a data set: the cases the generated data files never
// reach (escaped names, values that are not finite, uncertainties, capture
// contributions, empty lists) read back as the values that went in.
#include "outputs/json_writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

namespace tcsum {
namespace {

TEST(JsonWriter, ADataSetReadsBackWithItsUnusualValues) {
  DataSetResult ds;
  ds.number = 3;
  const char name[] = "C\"O\\6\x94\t";  // quote, backslash, code page 437 "ö", tab
  ds.DSNAME.fill(' ');
  std::copy(name, name + 7, ds.DSNAME.begin());
  ds.EX = NAN;
  ds.reached = Stage::complete;
  const FactorUncertainty u{1.0f, 0.25f, 0.5f, 1.5f, -0.125f, 0.75f};
  ds.gammas.push_back({2, 1, 1332.5f, 99.9f, 98.1f, 1.0183f, u});
  ds.xray = XrayLine{7.5f, 1.0f, 0.5f, 2.0f, {{XrayContribution::Source::capture, 4, 0, 1, 1, 2}}};
  ds.uncertainty = UncertaintySettings{5.0f, 2.0f, EfficiencyCorrelation::none, 300, 1ULL << 60};

  std::string text;
  JsonWriter::format(ds, text);
  const auto j = nlohmann::ordered_json::parse(text);

  EXPECT_EQ(j["name"], "C\"O\\6\xC3\xB6\t");
  EXPECT_TRUE(j["xray_energy_keV"].is_null());
  EXPECT_EQ(j["status"], "complete");
  EXPECT_FALSE(j.contains("stopped_after"));
  EXPECT_EQ(j["levels"], nlohmann::ordered_json::array());
  EXPECT_NE(text.find("\"balance_warnings\": []"), std::string::npos);

  const auto& gamma = j["lines"][0];
  EXPECT_EQ(gamma["factor"].get<float>(), 1.0183f);
  EXPECT_EQ(gamma["uncertainty"]["interval95"], nlohmann::ordered_json({0.5, 1.5}));
  EXPECT_EQ(gamma["uncertainty"]["sensitivity_total"], -0.125);
  const auto& contribution = j["lines"][1]["contributions"][0];
  EXPECT_EQ(contribution["source"], "capture");
  EXPECT_EQ(contribution["level"], 4);
  EXPECT_FALSE(contribution.contains("upper"));
  EXPECT_EQ(j["uncertainty"]["correlation"], "none");
  EXPECT_EQ(j["uncertainty"]["seed"].get<uint64_t>(), 1ULL << 60);

  // Every member on a line of its own, two spaces a level deeper than the
  // data set, which stands at level 2 of the document.
  EXPECT_EQ(text.substr(0, 21), "\n    {\n      \"name\": ");
  EXPECT_EQ(text.substr(text.size() - 6), "\n    }");
}

}  // namespace
}  // namespace tcsum
