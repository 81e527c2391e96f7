#pragma once
// The clean sums of the complete model: for every level L, D_L(E), the
// probability per decay of reaching L with no partial deposit and full
// deposits adding up to E, carried from the top level down (model.cpp has
// the method). Two computations of it, over all nodes of a source:
// - roughSpectrum: the spectrum of clean sums with the small sums left out,
//   to find where sum peaks lie;
// - countInWindows: what ends in each of a set of energy windows, exactly.
// Not for use outside src/complete.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "complete/prepared.hpp"

namespace tcsum::complete::detail {

// Sums closer than this are one (keV), where nothing finer is needed.
inline constexpr double kMergeTolerance = 1e-4;

struct Point {
  double energy;  // keV
  double p;       // per decay
};
using Sums = std::vector<Point>;

// What bounding the computation took: the widest energy bins sums were
// merged in, the probability per decay of the sums left out, and how many
// levels (over all nodes) had their sums merged by cells before the end of
// an event.
struct Bounding {
  double width = kMergeTolerance;
  double dropped = 0.0;
  std::size_t cellLevels = 0;
};

// The cells of the energy axis bounded by CUTS: the cell of E is the number
// of cuts at or below E. Finding a cell costs a few comparisons however many
// cuts there are (a table of where each of as many equal steps starts).
class Cells {
 public:
  Cells() = default;
  explicit Cells(std::vector<double> cuts);
  std::size_t size() const { return cuts_.size() + 1; }
  std::size_t of(double energy) const;
  // The cell of ENERGY, known to be at least cell FROM: cheap when it is
  // near (energies taken in increasing order).
  std::size_t after(std::size_t from, double energy) const;

 private:
  std::vector<double> cuts_;
  double start_ = 0.0, perStep_ = 0.0;
  std::vector<uint32_t> firstCut_;  // of each step
};

// What may be left out of a level's sums gathered in bins: every sum below
// NEGLIGIBLE per decay; and, while more than a level holds (8192), the
// smallest as long as they add up to at most BUDGET per decay (else the bins
// are made wider).
struct Leaving {
  double negligible = 0.0;
  double budget = 0.0;
};

// Efficiencies of each emitter at one node of the source, with the node's weight.
struct NodeEfficiencies {
  double weight = 1.0;
  std::vector<EfficiencyPair> emitters;
};

// The spectrum of clean sums of all NODES, by energy, with what LEAVING
// allows left out (its probability added to the bounding's dropped).
Sums roughSpectrum(const Prepared& prepared, const std::vector<NodeEfficiencies>& nodes,
                   const Leaving& leaving, Bounding& bounding);

// The probability per decay of the clean sums of all NODES ending in each of
// WINDOWS (disjoint), and its product with their energy, with what LEAVING
// allows left out.
struct WindowSums {
  std::vector<double> p, pe;
};
WindowSums countInWindows(const Prepared& prepared, const std::vector<Window>& windows,
                          const std::vector<NodeEfficiencies>& nodes, const Leaving& leaving,
                          Bounding& bounding);

}  // namespace tcsum::complete::detail
