#pragma once
// The descriptions of a detector and a source in TOML files, turned into the
// regions of the model. Lengths in mm in the files (cm inside the model),
// densities in g/cm^3. What the files hold: README, chapter "Detector and
// source geometry"; examples in examples/geometry/.
#include <stdexcept>
#include <string>
#include <vector>

#include "geometry/quadrature.hpp"
#include "geometry/world.hpp"

namespace tcsum::geometry {

// A description that cannot be used: one line, "message, file F, line N".
class DescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Geometry {
  World world;                      // detector and source regions
  std::vector<SourcePiece> source;  // where the activity is
  std::string detectorFile;
  std::string sourceFile;
  std::string detectorSummary;      // "p-type coaxial, 62.0 x 61.0 mm"
  std::string sourceSummary;        // "cylinder, 100.0 mL of water"
};

// Reads both files; throws DescriptionError.
Geometry loadGeometry(const std::string& detectorFile, const std::string& sourceFile);

}  // namespace tcsum::geometry
