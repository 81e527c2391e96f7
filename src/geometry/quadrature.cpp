#include "geometry/quadrature.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tcsum::geometry {

namespace {

// The azimuth 0..pi in at least this many pieces.
constexpr int kAzimuthPieces = 4;

// P_n(t) and P_{n-1}(t) by the three-term recurrence.
std::pair<double, double> legendre(int n, double t) {
  double p0 = 1.0;
  double p1 = t;
  for (int k = 2; k <= n; ++k) {
    double p2 = ((2.0 * k - 1.0) * t * p1 - (k - 1.0) * p0) / k;
    p0 = p1;
    p1 = p2;
  }
  return {p1, p0};
}

}  // namespace

void gaussLegendre(int n, double a, double b, std::vector<double>& x, std::vector<double>& w) {
  double half = 0.5 * (b - a);
  double mid = 0.5 * (a + b);
  x.assign(n, mid);
  w.assign(n, 2.0 * half);
  if (n == 1) return;
  // Newton's iteration on P_n from the Chebyshev estimate of each root;
  // P_n'(t) = n (t P_n - P_{n-1}) / (t^2 - 1).
  for (int i = 0; i < n / 2; ++i) {
    double t = std::cos(std::numbers::pi * (i + 0.75) / (n + 0.5));
    for (int iteration = 0; iteration < 100; ++iteration) {
      auto [pn, pm] = legendre(n, t);
      double step = pn / (n * (t * pn - pm) / (t * t - 1.0));
      t -= step;
      if (std::abs(step) < 1e-16) break;
    }
    auto [pn, pm] = legendre(n, t);
    double derivative = n * (t * pn - pm) / (t * t - 1.0);
    double weight = 2.0 / ((1.0 - t * t) * derivative * derivative);
    x[i] = mid - half * t;
    x[n - 1 - i] = mid + half * t;
    w[i] = w[n - 1 - i] = weight * half;
  }
  if (n % 2 == 1) {
    double derivative = n * legendre(n, 0.0).second;
    w[n / 2] = 2.0 / (derivative * derivative) * half;
  }
}

std::vector<SourcePiece> splitAtCrystal(std::span<const SourcePiece> pieces, const World& world) {
  double radius = 0.0, front = INFINITY, back = -INFINITY;
  for (const Region& g : world.regions)
    if (g.crystal) radius = std::max(radius, g.rOut), front = std::min(front, g.zLo), back = std::max(back, g.zHi);
  std::vector<SourcePiece> out;
  for (const SourcePiece& p : pieces) {
    std::vector<double> rs = {p.rIn, p.rOut}, zs = {p.zLo, p.zHi};
    if (radius > p.rIn && radius < p.rOut) rs.insert(rs.begin() + 1, radius);
    for (double z : {front, back})
      if (z > zs[zs.size() - 2] && z < zs.back()) zs.insert(zs.end() - 1, z);
    for (std::size_t i = 0; i + 1 < rs.size(); ++i)
      for (std::size_t j = 0; j + 1 < zs.size(); ++j) out.push_back({rs[i], rs[i + 1], zs[j], zs[j + 1]});
  }
  return out;
}

std::vector<EmissionPoint> emissionPoints(std::span<const SourcePiece> pieces, int order) {
  std::vector<EmissionPoint> out;
  std::vector<double> xs, ws, xz, wz;
  double measureSum = 0.0;
  for (const SourcePiece& piece : pieces) {
    double area = piece.rOut * piece.rOut - piece.rIn * piece.rIn;
    double height = piece.zHi - piece.zLo;
    double measure = (area > 0.0 ? area : 1.0) * (height > 0.0 ? height : 1.0);
    measureSum += measure;
    std::size_t first = out.size();
    if (area > 0.0)
      gaussLegendre(order, piece.rIn * piece.rIn, piece.rOut * piece.rOut, xs, ws);
    else
      xs = {piece.rIn * piece.rIn}, ws = {1.0};
    if (height > 0.0)
      gaussLegendre(order, piece.zLo, piece.zHi, xz, wz);
    else
      xz = {piece.zLo}, wz = {1.0};
    for (std::size_t i = 0; i < xs.size(); ++i)
      for (std::size_t j = 0; j < xz.size(); ++j)
        out.push_back({std::sqrt(xs[i]), xz[j],
                       ws[i] / (area > 0.0 ? area : 1.0) * wz[j] / (height > 0.0 ? height : 1.0)});
    for (std::size_t k = first; k < out.size(); ++k) out[k].weight *= measure;
  }
  for (EmissionPoint& e : out) e.weight /= measureSum;
  return out;
}

namespace {

// Sorted, without near duplicates, within [lo, hi], ends included.
std::vector<double> breakpoints(std::vector<double> v, double lo, double hi) {
  v.push_back(lo);
  v.push_back(hi);
  std::sort(v.begin(), v.end());
  std::vector<double> out;
  for (double x : v) {
    if (x < lo || x > hi) continue;
    if (!out.empty() && x - out.back() < 1e-12) continue;
    out.push_back(x);
  }
  return out;
}

}  // namespace

Rays castRays(const World& world, double r, double z, const Orders& orders) {
  // The corners and radii of the crystal.
  std::vector<std::pair<double, double>> corners;
  std::vector<double> radii;
  for (const Region& g : world.regions) {
    if (!g.crystal) continue;
    for (double rr : {g.rIn, g.rOut}) {
      if (rr <= 0.0) continue;
      radii.push_back(rr);
      corners.emplace_back(rr, g.zLo);
      corners.emplace_back(rr, g.zHi);
    }
  }
  // The azimuths where a ray from the point is tangent to a crystal radius.
  std::vector<double> phiCuts;
  if (r > 0.0)
    for (double rr : radii)
      if (rr < r) {
        double phi = std::asin(rr / r);
        phiCuts.push_back(phi);
        phiCuts.push_back(std::numbers::pi - phi);
      }
  std::vector<double> phis, phiWeights;
  if (r > 0.0) {
    std::vector<double> tangents = phiCuts;
    for (int k = 1; k < kAzimuthPieces; ++k) phiCuts.push_back(std::numbers::pi * k / kAzimuthPieces);
    std::vector<double> cuts = breakpoints(phiCuts, 0.0, std::numbers::pi);
    auto tangent = [&](double phi) {
      return std::any_of(tangents.begin(), tangents.end(), [&](double t) { return std::abs(t - phi) < 1e-12; });
    };
    std::vector<double> x, w;
    gaussLegendre(orders.azimuth, 0.0, 1.0, x, w);
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
      // Beside a tangent the chord through the ring grows as the square
      // root of the distance in phi; phi quadratic in s there makes the
      // integrand smooth in s.
      double a = cuts[k], width = cuts[k + 1] - cuts[k];
      bool lo = tangent(a), hi = tangent(cuts[k + 1]);
      for (std::size_t i = 0; i < x.size(); ++i) {
        double s = x[i], t = s, dt = 1.0;
        if (lo && hi) t = s * s * (3.0 - 2.0 * s), dt = 6.0 * s * (1.0 - s);
        else if (lo) t = s * s, dt = 2.0 * s;
        else if (hi) t = 1.0 - (1.0 - s) * (1.0 - s), dt = 2.0 * (1.0 - s);
        phis.push_back(a + width * t);
        phiWeights.push_back(2.0 * w[i] * width * dt / (4.0 * std::numbers::pi));
      }
    }
  } else {
    phis = {0.0};
    phiWeights = {2.0 * std::numbers::pi / (4.0 * std::numbers::pi)};
  }

  Rays rays;
  rays.materials = world.materials.size();
  std::vector<double> path(rays.materials);
  std::vector<Segment> segments;
  std::vector<double> uCuts, unitX, unitW;
  gaussLegendre(orders.polar, 0.0, 1.0, unitX, unitW);
  for (std::size_t k = 0; k < phis.size(); ++k) {
    double cp = std::cos(phis[k]);
    double sp = std::sin(phis[k]);
    // The polar angles where the ray in this azimuth passes a corner: at the
    // horizontal distance s where its radius is the corner's.
    uCuts.clear();
    for (auto [rr, zz] : corners) {
      double disc = rr * rr - r * r * sp * sp;
      if (disc < 0.0) continue;
      for (double s : {-r * cp - std::sqrt(disc), -r * cp + std::sqrt(disc)}) {
        if (s <= 0.0) continue;
        double dz = zz - z;
        uCuts.push_back(dz / std::hypot(s, dz));
      }
    }
    std::vector<double> cuts = breakpoints(uCuts, -1.0, 1.0);
    for (std::size_t piece = 0; piece + 1 < cuts.size(); ++piece) {
      double width = cuts[piece + 1] - cuts[piece];
      for (std::size_t i = 0; i < unitX.size(); ++i) {
        double u = cuts[piece] + width * unitX[i];
        double sinTheta = std::sqrt(std::max(0.0, 1.0 - u * u));
        trace(world, {r, 0.0, z}, {sinTheta * cp, sinTheta * sp, u}, segments);
        std::size_t last = segments.size();
        while (last > 0 && !world.regions[segments[last - 1].region].active) --last;
        if (last == 0) continue;
        std::size_t first = rays.length.size();
        for (std::size_t s = 0; s < last; ++s) {
          const Region& g = world.regions[segments[s].region];
          auto material = static_cast<uint16_t>(g.material);
          uint8_t active = g.active ? 1 : 0;
          // Neighbouring stretches of one material, both active or both
          // not (the slices of the crystal), are one step.
          if (rays.length.size() > first && rays.material.back() == material && rays.active.back() == active) {
            rays.length.back() += segments[s].length;
            continue;
          }
          rays.material.push_back(material);
          rays.active.push_back(active);
          rays.length.push_back(segments[s].length);
        }
        rays.end.push_back(static_cast<uint32_t>(rays.length.size()));
        rays.weight.push_back(width * unitW[i] * phiWeights[k]);
        std::fill(path.begin(), path.end(), 0.0);
        for (std::size_t step = first; step < rays.length.size(); ++step) {
          if (rays.active[step]) {
            rays.stretchMaterial.push_back(rays.material[step]);
            rays.stretchLength.push_back(rays.length[step]);
            rays.before.insert(rays.before.end(), path.begin(), path.end());
          }
          path[rays.material[step]] += rays.length[step];
        }
        rays.stretchEnd.push_back(static_cast<uint32_t>(rays.stretchLength.size()));
      }
    }
  }
  return rays;
}

double firstInteraction(const Rays& rays, std::span<const double> mu) {
  double sum = 0.0;
  std::size_t step = 0;
  for (std::size_t k = 0; k < rays.weight.size(); ++k) {
    double transmitted = 1.0;
    double p = 0.0;
    for (; step < rays.end[k]; ++step) {
      double passing = std::exp(-mu[rays.material[step]] * rays.length[step]);
      if (rays.active[step]) p += transmitted * (1.0 - passing);
      transmitted *= passing;
    }
    sum += rays.weight[k] * p;
  }
  return sum;
}

}  // namespace tcsum::geometry

namespace tcsum::geometry {

void addFirstInteractions(const Rays& rays, std::span<const double> mu, std::size_t materials, double weight,
                          std::span<double> sum) {
  // P = sum over the active stretches j of exp(-sum_m mu_m L_jm) (1 - exp(-mu_j l_j)).
  const std::size_t energies = sum.size();
  std::vector<double> p(energies);
  std::size_t j = 0;
  for (std::size_t k = 0; k < rays.weight.size(); ++k) {
    std::fill(p.begin(), p.end(), 0.0);
    for (; j < rays.stretchEnd[k]; ++j) {
      const double* path = &rays.before[j * materials];
      const double length = rays.stretchLength[j];
      const std::size_t m = rays.stretchMaterial[j];
      for (std::size_t e = 0; e < energies; ++e) {
        const double* coefficients = &mu[e * materials];
        double depth = 0.0;
        for (std::size_t i = 0; i < materials; ++i) depth += coefficients[i] * path[i];
        p[e] += std::exp(-depth) * (1.0 - std::exp(-coefficients[m] * length));
      }
    }
    const double w = weight * rays.weight[k];
    for (std::size_t e = 0; e < energies; ++e) sum[e] += w * p[e];
  }
}

}  // namespace tcsum::geometry
