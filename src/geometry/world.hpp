#pragma once
// The detector and the source as axis-aligned annular cylinders around the
// detector's axis, and the rays of photons through them.
//
// Coordinates in cm: the z axis is the detector's axis, z = 0 the outer face
// of the end-cap window, z > 0 into the detector, z < 0 in front of it
// (where the sources are). Cylindrical symmetry: every region is a ring
// r_in <= r <= r_out, z_lo <= z <= z_hi, and the regions do not overlap;
// whatever is in no region is vacuum.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "geometry/materials.hpp"

namespace tcsum::geometry {

struct Region {
  double rIn = 0.0;
  double rOut = 0.0;
  double zLo = 0.0;
  double zHi = 0.0;
  int material = 0;     // index into World::materials
  bool active = false;  // the active volume of the crystal
  bool crystal = false; // part of the crystal (active or dead): its corners split the quadrature
  std::string name;     // for messages and drawings ("front dead layer")
};

struct World {
  std::vector<Material> materials;
  std::vector<Region> regions;

  // The index of MATERIAL in materials, added when new (by name and density).
  int add(const Material& material);
};

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// A stretch of a ray inside one region.
struct Segment {
  double start = 0.0;  // cm from the emission point
  double length = 0.0;
  int region = 0;
};

// The stretches of the ray from P in the direction U (a unit vector) through
// the regions of WORLD, in order along the ray, into OUT (cleared first).
void trace(const World& world, const Vec3& p, const Vec3& u, std::vector<Segment>& out);

// The name of the first pair of regions that overlap, or empty.
std::string overlap(const World& world);

}  // namespace tcsum::geometry
