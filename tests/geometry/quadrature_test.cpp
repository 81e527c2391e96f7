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

// The solid angle of a disk of radius A seen from a point at height H above
// its plane and R0 off its axis, with the complete elliptic integrals of the
// first and third kind.
double diskSolidAngle(double a, double h, double r0) {
  const double rMax = std::sqrt(h * h + (a + r0) * (a + r0));
  const double k = std::sqrt(4.0 * a * r0) / rMax;
  const double n = 4.0 * a * r0 / ((a + r0) * (a + r0));
  const double K = std::comp_ellint_1(k);
  if (r0 == a) return std::numbers::pi - 2.0 * h / rMax * K;
  const double Pi = std::comp_ellint_3(k, n);
  if (r0 < a) return 2.0 * std::numbers::pi - 2.0 * h / rMax * (K + (a - r0) / (a + r0) * Pi);
  return 2.0 * h / rMax * ((r0 - a) / (r0 + a) * Pi - K);
}

TEST(Rays, OpaqueDiskOffAxisGivesTheClosedForm) {
  // A thin opaque disk, so that its rim adds nothing seen from beside it.
  const double a = 3.0;
  std::vector<double> opaque = {1e12};
  for (auto [r0, h] : {std::pair{0.5, 2.0}, {1.5, 2.0}, {2.9, 0.5}, {3.0, 2.0}, {5.0, 2.0}, {4.5, 6.0}, {12.0, 3.0}}) {
    World w = disk(a, h, h + 1e-7);
    double expected = diskSolidAngle(a, h, r0) / (4.0 * std::numbers::pi);
    // Within the target of the default orders, and closer with finer ones.
    double coarse = firstInteraction(castRays(w, r0, 0.0, {}), opaque);
    double fine = firstInteraction(castRays(w, r0, 0.0, Orders{}.doubled()), opaque);
    EXPECT_NEAR(coarse, expected, 2e-4 * expected) << "r0 " << r0 << " h " << h;
    EXPECT_NEAR(fine, expected, 1e-5 * expected) << "r0 " << r0 << " h " << h;
    EXPECT_LE(std::abs(fine - expected), std::abs(coarse - expected) + 1e-15) << "r0 " << r0 << " h " << h;
  }
  // On the axis the closed form is the familiar one.
  EXPECT_NEAR(diskSolidAngle(a, 5.0, 0.0), 2.0 * std::numbers::pi * (1.0 - 5.0 / std::sqrt(34.0)), 1e-12);
}

TEST(Rays, AllEnergiesAtOnceAgreeWithEachEnergyStepByStep) {
  // The stretches of the rays against their steps, through a crystal with a
  // hole and dead layers behind two absorbers, from on and off the axis.
  World w;
  w.materials.push_back({"ge", {{32, 1.0}}, 5.32});
  w.materials.push_back({"al", {{13, 1.0}}, 2.7});
  w.materials.push_back({"water", {{1, 0.112}, {8, 0.888}}, 1.0});
  w.regions.push_back({0.0, 4.0, -2.0, -0.1, 2, false, false, "matrix"});
  w.regions.push_back({0.0, 4.0, 0.0, 0.1, 1, false, false, "window"});
  w.regions.push_back({0.0, 3.0, 0.5, 0.57, 0, false, true, "front dead"});
  w.regions.push_back({0.0, 2.93, 0.57, 2.0, 0, true, true, "active front"});
  w.regions.push_back({0.5, 0.55, 2.0, 6.5, 0, false, true, "core dead"});
  w.regions.push_back({0.55, 2.93, 2.0, 6.5, 0, true, true, "active"});
  w.regions.push_back({2.93, 3.0, 0.57, 6.5, 0, false, true, "side dead"});
  const std::vector<double> energies = {20.0, 60.0, 300.0, 1500.0};
  std::vector<double> mu;
  for (double e : energies)
    for (const Material& m : w.materials) mu.push_back(m.density * (e < 100.0 ? 2.0 : 0.1) * (m.density > 3 ? 3.0 : 1.0));
  for (auto [r, z] : {std::pair{0.0, -1.0}, {2.0, -0.5}, {3.5, -1.9}}) {
    Rays rays = castRays(w, r, z, {});
    std::vector<double> all(energies.size(), 0.0);
    addFirstInteractions(rays, mu, w.materials.size(), 0.5, all);
    for (std::size_t k = 0; k < energies.size(); ++k) {
      std::span<const double> one(&mu[k * w.materials.size()], w.materials.size());
      EXPECT_NEAR(all[k], 0.5 * firstInteraction(rays, one), 1e-14) << r << " " << energies[k];
    }
  }
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
