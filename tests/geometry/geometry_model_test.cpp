#include "geometry/model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>

#include "complete/model.hpp"
#include "complete/support.hpp"

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

TEST(Model, PhotonsBelowTheCrossSectionTablesNeverArrive) {
  // The L x-rays of nickel (0.85 keV) are among Co-60's photons: no efficiency, no failure.
  Calibration c{kExamples + "point10cm.csv", kExamples + "point10cm.toml", ""};
  auto s = sourceEfficiency(kExamples + "detector.toml", kExamples + "beaker100ml.toml", c);
  const std::vector<double> energies = {0.851, 7.5, 1332.5};
  std::vector<EfficiencyPair> e(energies.size());
  s.nodes[3].efficiency->at(energies, e);
  EXPECT_EQ(e[0].total, 0.0);
  EXPECT_EQ(e[0].peak, 0.0);
  EXPECT_GT(e[2].total, 0.0);
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

// ---- summing counted point by point --------------------------------------

// A two-step cascade with a crossover: 1173 keV then 1332 keV, as in Co-60.
DecayScheme cascade() {
  return test::makeScheme({{0}, {1332.5}, {2505.7, 100}}, {{2, 1, 99.9}, {1, 0, 100}, {2, 0, 0.002}});
}

double factorAt(const complete::Result& r, double energy) {
  for (const LineResult& l : r.lines)
    if (l.kind == LineKind::gamma && std::abs(l.energy - energy) < 0.5) return l.factor;
  return NAN;
}

TEST(Summing, APointSourceReproducesThePointFactorsExactly) {
  Calibration c{kExamples + "point10cm.csv", kExamples + "point10cm.toml", ""};
  std::string point = write("point1cm.toml", "[source]\ntype = \"point\"\ndistance = 10.0\n");
  auto s = sourceEfficiency(kExamples + "detector.toml", point, c);
  ASSERT_EQ(s.nodes.size(), 1u);
  const auto nodes = complete::compute(cascade(), s.nodes, {});
  const auto averaged = complete::compute(cascade(), {{1.0, s.average}}, {});
  ASSERT_EQ(nodes.lines.size(), averaged.lines.size());
  for (std::size_t k = 0; k < nodes.lines.size(); ++k) {
    EXPECT_EQ(nodes.lines[k].factor, averaged.lines[k].factor) << nodes.lines[k].energy;
    EXPECT_EQ(nodes.lines[k].rate, averaged.lines[k].rate) << nodes.lines[k].energy;
  }
}

TEST(Summing, AVolumeShrunkToAPointGivesThePointFactors) {
  Calibration c{kExamples + "point10cm.csv", kExamples + "point10cm.toml", ""};
  std::string point = write("point2mm.toml", "[source]\ntype = \"point\"\ndistance = 2.0\n");
  std::string tiny = write("tiny2mm.toml",
                           "[source]\ntype = \"cylinder\"\nradius = 0.001\nheight = 0.001\ndistance = 1.9995\n"
                           "[matrix]\nname = \"water\"\n");
  auto a = complete::compute(cascade(), sourceEfficiency(kExamples + "detector.toml", point, c).nodes, {});
  auto b = complete::compute(cascade(), sourceEfficiency(kExamples + "detector.toml", tiny, c).nodes, {});
  for (double e : {1173.2, 1332.5}) EXPECT_NEAR(factorAt(a, e), factorAt(b, e), 1e-5) << e;
  EXPECT_GT(factorAt(a, 1332.5), 1.05);  // close to the end cap the correction is large
}

TEST(Summing, PointByPointCorrectsMoreThanTheVolumeAverage) {
  // Both efficiencies fall together away from the detector, so the mean of
  // their product over the sample exceeds the product of their means: the
  // averaged efficiencies understate the summing-out.
  Calibration c{kExamples + "point10cm.csv", kExamples + "point10cm.toml", ""};
  auto s = sourceEfficiency(kExamples + "detector.toml", kExamples + "beaker100ml.toml", c);
  ASSERT_GT(s.nodes.size(), 10u);
  const auto nodes = complete::compute(cascade(), s.nodes, {});
  const auto averaged = complete::compute(cascade(), {{1.0, s.average}}, {});
  for (double e : {1173.2, 1332.5}) {
    EXPECT_GT(factorAt(nodes, e), factorAt(averaged, e)) << e;
    EXPECT_LT(factorAt(nodes, e), factorAt(averaged, e) * 1.05) << e;
  }
  // The counts without coincidences are the same either way.
  for (std::size_t k = 0; k < nodes.lines.size(); ++k) {
    if (nodes.lines[k].kind != LineKind::gamma) continue;
    EXPECT_NEAR(nodes.lines[k].rate0, averaged.lines[k].rate0, 1e-12 * nodes.lines[k].rate0);
  }
}

// ---- an independent simulation of first interactions ---------------------

// Photons followed one by one through the regions of the geometry by delta
// tracking: free flights with the largest attenuation coefficient of all
// materials, a real interaction where the region's coefficient says so.
// Nothing of the ray tracing or the quadrature is used.
struct Sampled {
  double efficiency;
  double standard;
};

class Photons {
 public:
  explicit Photons(uint64_t seed) : engine_(seed) {}
  double uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

 private:
  std::mt19937_64 engine_;
};

const Region* regionAt(const World& world, double x, double y, double z) {
  double r = std::hypot(x, y);
  for (const Region& g : world.regions)
    if (r >= g.rIn && r < g.rOut && z >= g.zLo && z < g.zHi) return &g;
  return nullptr;
}

Sampled simulate(const Geometry& g, double energy, int photons, uint64_t seed) {
  std::vector<double> mu;
  double majorant = 0.0, rMax = 0.0, zLo = 0.0, zHi = 0.0;
  for (const Material& m : g.world.materials) mu.push_back(attenuation(m, energy));
  for (const Region& r : g.world.regions) {
    majorant = std::max(majorant, mu[r.material]);
    rMax = std::max(rMax, r.rOut), zLo = std::min(zLo, r.zLo), zHi = std::max(zHi, r.zHi);
  }
  for (const SourcePiece& p : g.source) zLo = std::min(zLo, p.zLo);
  Photons random(seed);
  // The activity's pieces by their volume (a point: one piece).
  std::vector<double> cumulative;
  for (const SourcePiece& p : g.source) {
    double v = (p.rOut * p.rOut - p.rIn * p.rIn) * (p.zHi - p.zLo);
    cumulative.push_back((cumulative.empty() ? 0.0 : cumulative.back()) + (g.source.size() == 1 ? 1.0 : v));
  }
  int hits = 0;
  for (int n = 0; n < photons; ++n) {
    double pick = random.uniform() * cumulative.back();
    std::size_t k = 0;
    while (k + 1 < cumulative.size() && pick > cumulative[k]) ++k;
    const SourcePiece& p = g.source[k];
    double r = std::sqrt(p.rIn * p.rIn + random.uniform() * (p.rOut * p.rOut - p.rIn * p.rIn));
    double a = 2.0 * std::numbers::pi * random.uniform();
    double x = r * std::cos(a), y = r * std::sin(a), z = p.zLo + random.uniform() * (p.zHi - p.zLo);
    double u = 2.0 * random.uniform() - 1.0, phi = 2.0 * std::numbers::pi * random.uniform();
    double s = std::sqrt(1.0 - u * u), dx = s * std::cos(phi), dy = s * std::sin(phi), dz = u;
    for (;;) {
      double step = -std::log(1.0 - random.uniform()) / majorant;
      x += step * dx, y += step * dy, z += step * dz;
      if (z < zLo - 1.0 || z > zHi + 1.0 || std::hypot(x, y) > rMax + 1.0) break;  // left for good
      const Region* where = regionAt(g.world, x, y, z);
      if (!where || random.uniform() * majorant >= mu[where->material]) continue;
      if (where->active) ++hits;
      break;
    }
  }
  double e = static_cast<double>(hits) / photons;
  return {e, std::sqrt(e * (1.0 - e) / photons)};
}

// An unoptimised build (the sanitizers' among them) samples a tenth of the
// photons, with the statistical tolerance to match.
#ifdef NDEBUG
constexpr int kFewerPhotons = 1;
#else
constexpr int kFewerPhotons = 10;
#endif

TEST(Simulation, FirstInteractionsAgreeWithTheIntegralsOnFourGeometries) {
  std::string near = write("sim1cm.toml", "[source]\ntype = \"point\"\ndistance = 10.0\n");
  const struct {
    std::string source;
    double energy;
  } cases[] = {{near, 661.7},
               {near, 59.5},
               {kExamples + "point10cm.toml", 661.7},
               {kExamples + "beaker100ml.toml", 661.7},
               {kExamples + "beaker100ml.toml", 59.5},
               {kExamples + "marinelli.toml", 1332.5}};
  uint64_t seed = 1;
  for (const auto& c : cases) {
    Geometry g = loadGeometry(kExamples + "detector.toml", c.source);
    PreparedSource p = prepare(g);
    double integral = sourceTotal(p, c.energy);
    // Far away few photons reach the crystal: more of them there.
    Sampled sampled = simulate(g, c.energy, (integral < 0.01 ? 1'500'000 : 300'000) / kFewerPhotons, seed++);
    EXPECT_NEAR(sampled.efficiency, integral, 3.5 * sampled.standard)
        << c.source << " at " << c.energy << " keV: integral " << integral << ", sampled " << sampled.efficiency
        << " +- " << sampled.standard;
  }
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
