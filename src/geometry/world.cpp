#include "geometry/world.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tcsum::geometry {

int World::add(const Material& material) {
  for (std::size_t i = 0; i < materials.size(); ++i)
    if (materials[i].name == material.name && materials[i].density == material.density &&
        materials[i].massFractions == material.massFractions)
      return static_cast<int>(i);
  materials.push_back(material);
  return static_cast<int>(materials.size() - 1);
}

namespace {

// The interval of t (t1 <= t2) where |p + t u|_xy <= radius, for a ray not
// parallel to the axis (a > 0); false when the ray misses the cylinder.
bool radialInterval(double a, double b, double c, double radius, double& t1, double& t2) {
  double disc = b * b - a * (c - radius * radius);
  if (disc <= 0.0) return false;
  double root = std::sqrt(disc);
  t1 = (-b - root) / a;
  t2 = (-b + root) / a;
  return true;
}

}  // namespace

void trace(const World& world, const Vec3& p, const Vec3& u, std::vector<Segment>& out) {
  out.clear();
  constexpr double kFar = std::numeric_limits<double>::infinity();
  // Radial quadratic |p + t u|^2 = a t^2 + 2 b t + c in the xy plane.
  double a = u.x * u.x + u.y * u.y;
  double b = p.x * u.x + p.y * u.y;
  double c = p.x * p.x + p.y * p.y;
  for (std::size_t i = 0; i < world.regions.size(); ++i) {
    const Region& g = world.regions[i];
    double lo = 0.0;
    double hi = kFar;
    // The slab zLo <= z <= zHi.
    if (u.z == 0.0) {
      if (p.z < g.zLo || p.z > g.zHi) continue;
    } else {
      double t1 = (g.zLo - p.z) / u.z;
      double t2 = (g.zHi - p.z) / u.z;
      lo = std::max(lo, std::min(t1, t2));
      hi = std::min(hi, std::max(t1, t2));
    }
    if (!(lo < hi)) continue;
    // Inside the outer radius ...
    double inLo = 0.0;
    double inHi = 0.0;
    bool hole = false;
    if (a == 0.0) {
      if (c > g.rOut * g.rOut || c < g.rIn * g.rIn) continue;
    } else {
      double t1 = 0.0;
      double t2 = 0.0;
      if (!radialInterval(a, b, c, g.rOut, t1, t2)) continue;
      lo = std::max(lo, t1);
      hi = std::min(hi, t2);
      if (!(lo < hi)) continue;
      // ... and outside the inner one.
      if (g.rIn > 0.0) hole = radialInterval(a, b, c, g.rIn, inLo, inHi);
    }
    int region = static_cast<int>(i);
    if (!hole || inHi <= lo || inLo >= hi) {
      out.push_back({lo, hi - lo, region});
    } else {
      if (inLo > lo) out.push_back({lo, inLo - lo, region});
      if (inHi < hi) out.push_back({inHi, hi - inHi, region});
    }
  }
  std::sort(out.begin(), out.end(), [](const Segment& x, const Segment& y) { return x.start < y.start; });
}

std::string overlap(const World& world) {
  const auto& r = world.regions;
  for (std::size_t i = 0; i < r.size(); ++i)
    for (std::size_t j = i + 1; j < r.size(); ++j) {
      // Two rings overlap when their z ranges and their r ranges both do.
      double tol = 1e-9;
      bool z = std::min(r[i].zHi, r[j].zHi) - std::max(r[i].zLo, r[j].zLo) > tol;
      bool rr = std::min(r[i].rOut, r[j].rOut) - std::max(r[i].rIn, r[j].rIn) > tol;
      if (z && rr) return r[i].name + " and " + r[j].name;
    }
  return {};
}

}  // namespace tcsum::geometry
