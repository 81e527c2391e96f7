#include "geometry/description.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "geometry/quadrature.hpp"

namespace tcsum::geometry {
namespace {

const std::string kExamples = std::string(TCSUM_SOURCE_DIR) + "/examples/geometry/";

std::string write(const std::string& name, const std::string& text) {
  std::string path = (std::filesystem::temp_directory_path() / ("description_test_" + name)).string();
  std::ofstream(path) << text;
  return path;
}

// The germanium a ray crosses before it first reaches the active volume.
std::vector<double> deadGermanium(const World& world, const Rays& rays) {
  std::vector<double> out;
  std::size_t step = 0;
  for (std::size_t k = 0; k < rays.weight.size(); ++k) {
    double dead = 0.0;
    bool reached = false;
    for (; step < rays.end[k]; ++step) {
      if (rays.active[step]) reached = true;
      if (!reached && world.materials[rays.material[step]].name == "germanium") dead += rays.length[step];
    }
    out.push_back(dead);
  }
  return out;
}

TEST(Crystal, EveryRayCrossesAtLeastTheDeadLayer) {
  // The rounded front edge is made of stepped rings; their steps must be
  // covered by dead germanium as the flat faces are, or photons of low
  // energy reach the active volume unattenuated there.
  std::string point = write("point.toml", "[source]\ntype = \"point\"\ndistance = 1.0\n");
  Geometry g = loadGeometry(kExamples + "detector.toml", point);
  const double deadLayer = 0.07;  // cm, front and side of the example
  for (auto [r, z] : {std::pair{0.0, -0.1}, {2.5, -0.1}, {3.5, -0.1}, {3.5, -1.0}, {6.0, 0.5}, {6.0, 1.5}}) {
    Rays rays = castRays(g.world, r, z, Orders{1, 12, 12});
    ASSERT_FALSE(rays.weight.empty());
    for (double dead : deadGermanium(g.world, rays)) ASSERT_GE(dead, deadLayer * (1.0 - 1e-9)) << r << " " << z;
  }
}

TEST(Crystal, RegionsOfTheExampleDetector) {
  std::string point = write("regions.toml", "[source]\ntype = \"point\"\ndistance = 1.0\n");
  Geometry g = loadGeometry(kExamples + "detector.toml", point);
  double active = 0.0, crystal = 0.0;
  for (const Region& r : g.world.regions) {
    double v = (r.rOut * r.rOut - r.rIn * r.rIn) * (r.zHi - r.zLo);
    if (r.active) active += v;
    if (r.crystal) crystal += v;
  }
  // 62 mm x 60 mm with a 9 mm x 45 mm hole, 0.7 mm dead layers and a
  // rounded edge: the active part a little under the crystal's volume.
  double whole = 3.1 * 3.1 * 6.0 - 0.45 * 0.45 * 4.5;
  EXPECT_LT(crystal, whole);
  EXPECT_GT(crystal, 0.97 * whole);
  EXPECT_LT(active, 0.96 * crystal);
  EXPECT_GT(active, 0.90 * crystal);
  EXPECT_EQ(overlap(g.world), "");
}

}  // namespace
}  // namespace tcsum::geometry
