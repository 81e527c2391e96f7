#pragma once
// The complete model: every coincidence of a decay, computed exactly (not by
// sampling) in double precision over all histories of the decay from its
// feeding down. Photons: gamma rays, K x-rays (as line groups), L x-rays,
// annihilation radiation. An event counts in the peak of a line when none of
// its photons leaves a partial deposit and its full-energy deposits add up to
// the line's energy within the peak window.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/efficiency.hpp"
#include "core/lines.hpp"
#include "core/scheme.hpp"

namespace tcsum::complete {

// How the two photons of a positron's annihilation reach the detector.
enum class Annihilation {
  backToBack,   // opposite directions: at most one of them, with efficiency 2 eps(511)
  independent,  // each on its own (a well-type detector)
  none,         // not counted
};

struct Settings {
  Annihilation annihilation = Annihilation::backToBack;
  // Half-width of the peak window, keV; empty: from the default resolution curve.
  std::optional<double> peakWindow;
  // A level living at least this long (seconds) ends the event.
  double isomerThreshold = 1e-6;
};

// A photon of the decay with the efficiencies used for it (at a point
// source; for a volume source the weighted mean over the nodes).
struct Photon {
  LineKind kind = LineKind::gamma;
  std::string label;
  int32_t upper = -1;
  int32_t lower = -1;
  double energy = 0.0;    // keV
  double emission = 0.0;  // per 100 decays
  EfficiencyPair efficiency;
};

struct Result {
  std::vector<Photon> photons;
  std::vector<LineResult> lines;  // by energy; sum peaks included
  std::vector<std::string> warnings;
};

// The lines of SCHEME counted at every node of SOURCE, the counts integrated
// over the nodes; a point source is one node.
Result compute(const DecayScheme& scheme, const SourceEfficiency& source, const Settings& settings);

}  // namespace tcsum::complete
