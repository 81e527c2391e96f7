#pragma once
// Detector efficiency as the models see it: the total and the full-energy-
// peak efficiency (fractions of the photons emitted) of a photon of a given
// energy. The data file's table with its interpolation is one source; a
// fitted curve and a model of detector and source geometry are others.
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tcsum {

struct EfficiencyPair {
  double total = 0.0;
  double peak = 0.0;
};

class Efficiency {
 public:
  virtual ~Efficiency() = default;

  // Both efficiencies at ENERGY (keV).
  virtual EfficiencyPair at(double energy) const = 0;

  // Both efficiencies at each of ENERGIES, into OUT (of the same size).
  virtual void at(std::span<const double> energies, std::span<EfficiencyPair> out) const {
    for (std::size_t k = 0; k < energies.size(); ++k)
      out[k] = at(energies[k]);
  }

  // What an uncertainty run varies: the number of independent points of the
  // source (a table's points; 1 for a curve that is off as a whole) ...
  virtual std::size_t points() const = 0;
  // ... and a copy with the total efficiency of point k scaled by
  // TOTAL[k] and its peak efficiency by PEAK[k] (both of size points()).
  virtual std::unique_ptr<Efficiency> scaled(std::span<const double> total,
                                             std::span<const double> peak) const = 0;

  // One line saying where the efficiencies come from, for the outputs.
  virtual std::string describe() const = 0;
};

// A source seen from the detector as emission points, each with its own
// efficiency and a weight (the weights add up to 1). A point source is one
// node; a volume source the nodes of a quadrature over its volume. Summing
// is counted node by node and the counts integrated.
struct EfficiencyNode {
  double weight = 1.0;
  std::shared_ptr<const Efficiency> efficiency;
};
using SourceEfficiency = std::vector<EfficiencyNode>;

}  // namespace tcsum
