#pragma once
// The integrals of the model: over the emission points of the source and
// over the directions of the photons from each point.
//
// Source: uniform activity in rings (r_in..r_out, z_lo..z_hi), Gauss-Legendre
// in r^2 (equal areas) and in z; a point is one node, a disk has no z.
// Directions: Gauss-Legendre in cos(theta) and in the azimuth phi (0..pi,
// doubled by the mirror symmetry of a point at y = 0), the polar range split
// at every angle where a ray grazes a corner of the crystal, the azimuth at
// every angle where a ray is tangent to one of the crystal's radii, so that
// each piece has a smooth integrand.
//
// The rays are energy-independent: for each direction the lengths in each
// region up to the last one in the active volume. The probability of a first
// interaction in the active volume at any energy is then a sum over the rays
// with that energy's attenuation coefficients.
#include <cstdint>
#include <span>
#include <vector>

#include "geometry/world.hpp"

namespace tcsum::geometry {

// Quadrature orders: per source ring in r and z, per piece in cos(theta)
// and in phi.
struct Orders {
  int volume = 4;
  int polar = 4;
  int azimuth = 4;

  Orders doubled() const { return {2 * volume, 2 * polar, 2 * azimuth}; }
  // Every order one higher: the rule the accuracy estimate compares with.
  Orders raised() const { return {volume + 1, polar + 1, azimuth + 1}; }
};

// Nodes X and weights W of the N-point Gauss-Legendre rule on [A, B].
void gaussLegendre(int n, double a, double b, std::vector<double>& x, std::vector<double>& w);

// A part of the source with uniform activity per volume (per area for a
// disk, zHi == zLo; a point: rIn == rOut and zLo == zHi).
struct SourcePiece {
  double rIn = 0.0;
  double rOut = 0.0;
  double zLo = 0.0;
  double zHi = 0.0;
};

struct EmissionPoint {
  double r = 0.0;
  double z = 0.0;
  double weight = 0.0;  // the weights of a source add up to 1
};

// PIECES split where they reach past the crystal's radius or its front and
// back faces: the efficiency of a point changes fast there.
std::vector<SourcePiece> splitAtCrystal(std::span<const SourcePiece> pieces, const World& world);

// The emission points of a source made of PIECES (all of one kind: points,
// disks or volumes), each weighted by its share of the activity.
std::vector<EmissionPoint> emissionPoints(std::span<const SourcePiece> pieces, int order);

// The rays from one emission point that reach the active volume.
struct Rays {
  std::vector<double> weight;   // solid angle of the ray / 4 pi
  std::vector<uint32_t> end;    // one past each ray's last step
  std::vector<uint16_t> material;
  std::vector<uint8_t> active;
  std::vector<double> length;   // cm
  // The same rays by their active stretches, for any number of energies:
  // per stretch its material and length and the path in every material
  // before it (materials values per stretch), so that a ray costs two
  // exponentials per stretch and energy whatever it crossed on its way.
  std::size_t materials = 0;
  std::vector<uint32_t> stretchEnd;  // one past each ray's last active stretch
  std::vector<uint16_t> stretchMaterial;
  std::vector<double> stretchLength;
  std::vector<double> before;
};

Rays castRays(const World& world, double r, double z, const Orders& orders);

// The probability that a photon from the point of RAYS has its first
// interaction (coherent scattering left out) in the active volume, with the
// linear attenuation coefficients MU (1/cm) of the world's materials.
double firstInteraction(const Rays& rays, std::span<const double> mu);

// The same at several energies at once: MU holds the coefficients of energy
// k at [k * materials, (k + 1) * materials); WEIGHT times each probability
// is added to SUM[k]. Each ray is read once for all energies.
void addFirstInteractions(const Rays& rays, std::span<const double> mu, std::size_t materials, double weight,
                          std::span<double> sum);

}  // namespace tcsum::geometry
