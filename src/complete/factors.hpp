#pragma once
// What `tcsum factors` computed, as its outputs read it: the run's settings
// and, per data set, the decay scheme, the complete model's result and what
// the optional checks beside it gave (simulation, uncertainty, the classic
// model's factors).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "complete/model.hpp"
#include "core/scheme.hpp"

namespace tcsum::complete {

struct SimulationSettings {
  uint64_t decays = 0;
  uint64_t seed = 0;
};

struct UncertaintySettings {
  double uTotal = 0.0;  // relative standard uncertainty, percent
  double uPeak = 0.0;
  uint32_t samples = 10000;
  uint64_t seed = 0;
};

// A sample whose efficiencies come from the model of its detector and
// source: the summing counted at every emission point with that point's
// efficiencies and integrated over the source.
struct GeometryRun {
  std::string detector;         // "p-type coaxial, 62 mm x 60 mm (detector.toml)"
  std::string source;           // "cylinder, 70 mm across, 100 mL of water (beaker.toml)"
  std::size_t points = 0;       // emission points
  // The largest relative change of the total efficiency at the check
  // energies when every quadrature order is raised by one.
  double efficiencyAccuracy = 0.0;
  std::string orders;           // "4/4/4" (volume/polar/azimuth)
};

struct FactorsRun {
  std::string program;  // "tcsum"
  std::string version;
  std::vector<std::string> inputs;  // the decay-data files as given
  std::string efficiency;           // Efficiency::describe()
  Settings settings;
  std::optional<SimulationSettings> simulation;
  std::optional<UncertaintySettings> uncertainty;
  // Why no data set has the classic model's factors beside its own (empty
  // when the run computes them where a data set fits the classic model).
  std::string classicNote;
  // Efficiencies from a model of detector and source: the sample counted
  // point by point over its emission points.
  std::optional<GeometryRun> geometry;
};

// The simulated factor of a line with its statistical standard uncertainty.
struct SimulatedFactor {
  double factor = 0.0;
  double standard = 0.0;
};

// A line's factor over the samples of an uncertainty run.
struct FactorStatistics {
  double mean = 0.0;
  double standard = 0.0;
  double low95 = 0.0;
  double high95 = 0.0;
};

struct DataSetFactors {
  DecayScheme scheme;
  std::string refusal;  // why it was not computed; empty when it was
  Result result;
  // Per line of result.lines, where the run has them (else empty).
  std::vector<std::optional<SimulatedFactor>> simulated;
  std::vector<std::optional<FactorStatistics>> uncertainty;
  std::vector<std::optional<double>> classic;
  // Why the classic factors are not beside these (empty when they are).
  std::string classicNote;
  // A sample from the geometry model: per line the factor computed with the
  // source's volume-averaged efficiencies instead, and the largest relative
  // change of a line's factor when the volume's quadrature order is raised
  // by one (the integration accuracy of the factors; the directions' error
  // enters them through the efficiencies, whose accuracy the run states).
  std::vector<std::optional<double>> averaged;
  std::optional<double> integration;
};

// "back-to-back", "independent", "none".
const char* annihilationName(Annihilation a);

}  // namespace tcsum::complete
