#include "geometry/model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace tcsum::geometry {
namespace {

const std::string kExamples = std::string(TCSUM_SOURCE_DIR) + "/examples/geometry/";

std::string write(const std::string& name, const std::string& text) {
  std::string path = (std::filesystem::temp_directory_path() / ("geometry_model_test_" + name)).string();
  std::ofstream(path) << text;
  return path;
}

TEST(Transfer, ToItsOwnGeometryGivesTheCalibrationBack) {
  Calibration c{kExamples + "point10cm.csv", kExamples + "point10cm.toml", ""};
  SampleEfficiency s = sourceEfficiency(kExamples + "detector.toml", kExamples + "point10cm.toml", c);
  for (const CalibrationPoint& p : readCalibration(c.file))
    EXPECT_NEAR(s.average->at(p.energy).peak, p.peak, 1e-12 * p.peak) << p.energy;
  ASSERT_EQ(s.nodes.size(), 1u);
  EXPECT_EQ(s.nodes[0].weight, 1.0);
}

TEST(Transfer, ACylinderShrunkToAPointGivesThePointEfficiencies) {
  std::string point = write("point.toml", "[source]\ntype = \"point\"\ndistance = 20.0\n");
  std::string tiny = write("tiny.toml",
                           "[source]\ntype = \"cylinder\"\nradius = 0.001\nheight = 0.001\ndistance = 19.999\n"
                           "[matrix]\nname = \"water\"\n");
  Calibration c{kExamples + "point10cm.csv", kExamples + "point10cm.toml", ""};
  auto a = sourceEfficiency(kExamples + "detector.toml", point, c);
  auto b = sourceEfficiency(kExamples + "detector.toml", tiny, c);
  for (double e : {60.0, 661.7, 1332.5}) {
    EXPECT_NEAR(a.average->at(e).total, b.average->at(e).total, 1e-4 * a.average->at(e).total) << e;
    EXPECT_NEAR(a.average->at(e).peak, b.average->at(e).peak, 1e-4 * a.average->at(e).peak) << e;
  }
}

TEST(Model, NodesAverageToTheVolumeEfficiency) {
  Calibration c{kExamples + "point10cm.csv", kExamples + "point10cm.toml", ""};
  auto s = sourceEfficiency(kExamples + "detector.toml", kExamples + "beaker100ml.toml", c);
  double total = 0.0, weights = 0.0;
  for (const auto& n : s.nodes) {
    total += n.weight * n.efficiency->at(661.7).total;
    weights += n.weight;
  }
  EXPECT_NEAR(weights, 1.0, 1e-12);
  EXPECT_NEAR(total, s.average->at(661.7).total, 1e-12);
  // On the end cap the sample sees far more than the point at 10 cm.
  EXPECT_GT(s.average->at(661.7).peak, 3.0 * 0.00161);
}

TEST(Descriptions, FaultsNameFileAndLine) {
  std::string bad = write("bad.toml", "[source]\ntype = \"cylinder\"\nradius = 10\nhieght = 5\n");
  try {
    loadGeometry(kExamples + "detector.toml", bad);
    FAIL();
  } catch (const DescriptionError& e) {
    EXPECT_EQ(std::string(e.what()), "unknown key hieght in [source], file " + bad + ", line 4");
  }
  std::string negative = write("neg.toml", "[source]\ntype = \"point\"\ndistance = -3\n");
  EXPECT_THROW(loadGeometry(kExamples + "detector.toml", negative), DescriptionError);
  std::string noMatrix = write("nomatrix.toml", "[source]\ntype = \"cylinder\"\nradius = 10\nheight = 5\n");
  EXPECT_THROW(loadGeometry(kExamples + "detector.toml", noMatrix), DescriptionError);
}

}  // namespace
}  // namespace tcsum::geometry
