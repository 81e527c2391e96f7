#include "geometry/quadrature.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tcsum::geometry {
namespace {

// One active ring of germanium (or any material 0) in front of a point.
World disk(double radius, double zLo, double zHi) {
  World w;
  w.materials.push_back({"test", {{32, 1.0}}, 1.0});
  w.regions.push_back({0.0, radius, zLo, zHi, 0, true, true, "active"});
  return w;
}

TEST(GaussLegendre, IntegratesPolynomialsExactly) {
  std::vector<double> x, w;
  for (int n : {1, 2, 5, 8}) {
    gaussLegendre(n, -1.0, 3.0, x, w);
    for (int degree = 0; degree < 2 * n; ++degree) {
      double sum = 0.0;
      for (int i = 0; i < n; ++i) sum += w[i] * std::pow(x[i], degree);
      double exact = (std::pow(3.0, degree + 1) - std::pow(-1.0, degree + 1)) / (degree + 1);
      EXPECT_NEAR(sum, exact, 1e-11 * std::max(1.0, std::abs(exact))) << n << " " << degree;
    }
  }
}

TEST(Rays, OpaqueCrystalGivesTheSolidAngleOfADiskOnAxis) {
  double a = 3.0, h = 5.0;
  World w = disk(a, h, h + 4.0);
  Rays rays = castRays(w, 0.0, 0.0, {});
  std::vector<double> opaque = {1e9};
  double omega = 2.0 * std::numbers::pi * (1.0 - h / std::sqrt(h * h + a * a));
  EXPECT_NEAR(firstInteraction(rays, opaque), omega / (4.0 * std::numbers::pi), 1e-12);
}

TEST(Rays, OpaqueCrystalOffAxisConvergesToTheSameSolidAngle) {
  // Off axis the result must not depend on the orders beyond their error.
  World w = disk(3.0, 2.0, 6.0);
  std::vector<double> opaque = {1e9};
  double coarse = firstInteraction(castRays(w, 1.5, 0.0, {}), opaque);
  double fine = firstInteraction(castRays(w, 1.5, 0.0, Orders{}.doubled().doubled()), opaque);
  EXPECT_NEAR(coarse, fine, 1e-4 * fine);
  // Seen from a point beside the disk, less than from the axis.
  double axis = firstInteraction(castRays(w, 0.0, 0.0, {}), opaque);
  EXPECT_LT(fine, axis);
}

TEST(Rays, SlabTransmissionAlongEveryDirection) {
  // An absorber of thickness t before an opaque detector: exp(-mu t / cos theta).
  World w;
  w.materials.push_back({"absorber", {{13, 1.0}}, 1.0});
  w.materials.push_back({"detector", {{32, 1.0}}, 1.0});
  double t = 0.5, mu = 0.8, a = 2.0, h = 3.0;
  w.regions.push_back({0.0, 50.0, 1.0, 1.0 + t, 0, false, false, "slab"});
  w.regions.push_back({0.0, a, h, h + 1.0, 1, true, true, "active"});
  Rays rays = castRays(w, 0.0, 0.0, {});
  std::vector<double> coefficients = {mu, 1e9};
  // (1/2) integral over cos theta from h/sqrt(h^2+a^2) to 1 of exp(-mu t / u).
  std::vector<double> x, wt;
  double c0 = h / std::sqrt(h * h + a * a);
  gaussLegendre(40, c0, 1.0, x, wt);
  double exact = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) exact += 0.5 * wt[i] * std::exp(-mu * t / x[i]);
  EXPECT_NEAR(firstInteraction(rays, coefficients), exact, 1e-9 * exact);
}

TEST(Rays, SelfAbsorptionOfASlabSeenFaceOnFromFar) {
  // A slab source of thickness t, a small opaque detector far away:
  // (1 - exp(-mu t)) / (mu t) of the photons leave the slab towards it.
  World w;
  w.materials.push_back({"matrix", {{8, 1.0}}, 1.0});
  w.materials.push_back({"detector", {{32, 1.0}}, 1.0});
  double t = 2.0, mu = 0.7;
  w.regions.push_back({0.0, 1.0, -t, 0.0, 0, false, false, "slab"});
  w.regions.push_back({0.0, 1.0, 1000.0, 1001.0, 1, true, true, "active"});
  SourcePiece slab{0.0, 1.0, -t, 0.0};
  auto points = emissionPoints(std::span(&slab, 1), 6);
  // Point by point, so that the distance of each point does not enter.
  double ratio = 0.0;
  for (const auto& p : points) {
    Rays rays = castRays(w, p.r, p.z, {});
    ratio += p.weight * firstInteraction(rays, std::vector<double>{mu, 1e9}) /
             firstInteraction(rays, std::vector<double>{0.0, 1e9});
  }
  EXPECT_NEAR(ratio, (1.0 - std::exp(-mu * t)) / (mu * t), 1e-6);
}

TEST(EmissionPoints, WeightsAddUpAndFollowTheVolume) {
  std::vector<SourcePiece> pieces = {{0.0, 1.0, 0.0, 1.0}, {1.0, 2.0, 0.0, 1.0}};
  auto points = emissionPoints(pieces, 4);
  double sum = 0.0, inner = 0.0;
  for (const auto& p : points) {
    sum += p.weight;
    if (p.r < 1.0) inner += p.weight;
  }
  EXPECT_NEAR(sum, 1.0, 1e-14);
  EXPECT_NEAR(inner, 1.0 / 4.0, 1e-14);  // pi 1^2 of pi 2^2
  SourcePiece point{0.7, 0.7, -2.0, -2.0};
  auto one = emissionPoints(std::span(&point, 1), 4);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].r, 0.7);
  EXPECT_EQ(one[0].weight, 1.0);
}

}  // namespace
}  // namespace tcsum::geometry
