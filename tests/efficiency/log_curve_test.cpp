#include "efficiency/log_curve.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "efficiency/text_file.hpp"

namespace tcsum::efficiency {
namespace {

std::string refusal(std::string_view text) {
  try {
    parseEfficiencyCurve(text, "c.toml");
  } catch (const InputFileError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(EfficiencyCurve, ComputesTheLogPolynomial) {
  const LogPolynomialCurve c = parseEfficiencyCurve(
      "# a 40 % detector at 1 cm\n[total]\ncoefficients = [-1.0, 0.2, -0.05]\n"
      "[peak]\ncoefficients = [-1.5, 0.1, -0.06]\n",
      "c.toml");
  for (double e : {60.0, 661.7, 1332.5}) {
    const double x = std::log(e);
    EXPECT_NEAR(c.at(e).total, std::exp(-1.0 + 0.2 * x - 0.05 * x * x), 1e-15);
    EXPECT_NEAR(c.at(e).peak, std::exp(-1.5 + 0.1 * x - 0.06 * x * x), 1e-15);
  }
  EXPECT_EQ(c.points(), 1u);
  const std::vector<double> t{0.5}, p{2.0};
  EXPECT_NEAR(c.scaled(t, p)->at(661.7).peak, 2.0 * c.at(661.7).peak, 1e-16);
  EXPECT_NEAR(c.scaled(t, p)->at(661.7).total, 0.5 * c.at(661.7).total, 1e-16);
}

TEST(EfficiencyCurve, TakesMeVWhenTheFileSaysSoAndNamesItsFindings) {
  const LogPolynomialCurve c = parseEfficiencyCurve(
      "energy_unit = \"MeV\"\nenergy_range = [0.05, 2.0]\n[total]\ncoefficients = [-1.6, -0.3]\n"
      "[peak]\ncoefficients = [-3.0, -0.5]\n",
      "c.toml");
  EXPECT_NEAR(c.at(500.0).total, std::exp(-1.6 - 0.3 * std::log(0.5)), 1e-15);
  EXPECT_NEAR(c.at(500.0).peak, std::exp(-3.0 - 0.5 * std::log(0.5)), 1e-15);
  EXPECT_EQ(c.terms().range->first, 50.0);
  const std::vector<double> energies{40.0, 500.0, 2500.0};
  const auto findings = c.findings(energies);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0],
            "efficiency curve c.toml: energies outside its range 50 to 2000 keV, the fit "
            "extrapolated: 40, 2500 keV");
  // Far below the range the total passes 1: bounded, and said.
  const std::vector<double> low{0.001};
  EXPECT_EQ(c.at(0.001).total, 1.0);
  EXPECT_EQ(c.findings(low).size(), 2u);
}

TEST(EfficiencyCurve, ReadsTheExampleOfTheReadme) {
  // The table of the README fitted: the curve stays within a few percent of it.
  const LogPolynomialCurve c = parseEfficiencyCurve(
      "energy_unit = \"keV\"\nenergy_range = [40.0, 3000.0]\n[total]\n"
      "coefficients = [-9.945, 4.643, -0.7664, 0.03888]\n[peak]\n"
      "coefficients = [-16.81, 8.528, -1.489, 0.07789]\n",
      "c.toml");
  EXPECT_NEAR(c.at(1000.0).total, 0.20, 0.01);
  EXPECT_NEAR(c.at(1000.0).peak, 0.040, 0.003);
  EXPECT_NEAR(c.at(100.0).peak, 0.25, 0.03);
}

TEST(EfficiencyCurve, RefusesWhatIsNoCurve) {
  const std::string peak = "[peak]\ncoefficients = [-3.0]\n";
  const std::string broken = refusal("[total]\ncoefficients = [-1.0,\n");
  EXPECT_EQ(broken.rfind("c.toml:", 0), 0u) << broken;
  EXPECT_NE(broken.find("not a TOML file"), std::string::npos) << broken;
  EXPECT_EQ(broken.find('\n'), std::string::npos) << broken;
  EXPECT_EQ(refusal(peak), "c.toml:1: no [total] section");
  EXPECT_EQ(refusal("total = 3\n" + peak), "c.toml:1: total must be a section [total]");
  EXPECT_EQ(refusal("[total]\ncoefficients = []\n" + peak),
            "c.toml:2: [total] coefficients must be a list of 1 to 10 numbers");
  EXPECT_EQ(refusal("[total]\ncoefficients = [1,2,3,4,5,6,7,8,9,10,11]\n" + peak),
            "c.toml:2: [total] coefficients must be a list of 1 to 10 numbers");
  EXPECT_EQ(refusal("[total]\ncoefficients = [-1, \"x\"]\n" + peak),
            "c.toml:2: [total] coefficients: not a finite number");
  EXPECT_EQ(refusal("[total]\ncoefficients = [-1, nan]\n" + peak),
            "c.toml:2: [total] coefficients: not a finite number");
  EXPECT_EQ(refusal("[total]\ncoefficent = [-1]\n" + peak),
            "c.toml:2: unknown key \"coefficent\" in [total] (it has only coefficients)");
  EXPECT_EQ(refusal("energy_unit = \"eV\"\n[total]\ncoefficients = [-1]\n" + peak),
            "c.toml:1: energy_unit must be \"keV\" or \"MeV\"");
  EXPECT_EQ(refusal("energy_range = [2000, 50]\n[total]\ncoefficients = [-1]\n" + peak),
            "c.toml:1: energy_range must be two ascending positive energies, [low, high]");
  EXPECT_EQ(refusal("unit = 1\n[total]\ncoefficients = [-1]\n" + peak),
            "c.toml:1: unknown key \"unit\" (an efficiency curve has energy_unit, energy_range, "
            "[total] and [peak])");
  // Fitted to percent: ln(30) at every energy.
  EXPECT_EQ(refusal("[total]\ncoefficients = [3.4]\n" + peak).substr(0, 62),
            "c.toml:1: the curve gives an efficiency above 1 at 100 keV ins");
}

}  // namespace
}  // namespace tcsum::efficiency
