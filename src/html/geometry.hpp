#pragma once
// The drawings of a geometry model for the pages of `tcsum efficiency` and
// `tcsum factors`: a cross-section of detector and source to scale through
// the detector's axis, and the efficiency curves computed for the sample.
// They draw what the model holds and compute nothing.
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "geometry/description.hpp"

namespace tcsum::html {

struct CurvePoint {
  double energy = 0.0;  // keV
  double total = 0.0;
  double peak = 0.0;
};

// The cross-section as inline SVG: every region in both halves of the
// plane through the axis, coloured by what it is (active and dead
// germanium, absorbers, container, source matrix), the activity of a point
// or a disk marked, a 10 mm scale bar and a key.
std::string crossSection(const geometry::Geometry& geometry);

// Total and full-energy-peak efficiency against energy, log-log, as inline
// SVG; nothing for fewer than two points.
std::string efficiencyCurves(std::span<const CurvePoint> curve);

// A page section with both, under the heading "Geometry", and the lines of
// NOTES (escaped) below them.
std::string geometrySection(const geometry::Geometry& geometry, std::span<const CurvePoint> curve,
                            const std::vector<std::string>& notes);

// The self-contained page of `tcsum efficiency --html`: ITEMS (term, value)
// as the run's settings, then the section, then the table of the curve.
std::string efficiencyPage(const geometry::Geometry& geometry, std::span<const CurvePoint> curve,
                           const std::vector<std::pair<std::string, std::string>>& items,
                           const std::vector<std::string>& notes);

}  // namespace tcsum::html
