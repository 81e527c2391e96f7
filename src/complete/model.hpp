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
  // Half-width of the peak window, keV; empty: one FWHM of a coaxial HPGe
  // detector, FWHM(E) = sqrt(0.8584^2 + 2.157e-3 E) keV (1.0 keV at 122 keV,
  // 1.9 keV at 1332 keV). Lines closer than the window are one peak: each
  // of them gets the peak's factor, and its rate its share of the peak's
  // count; neighbouring peaks' windows end half-way between them.
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

// The annihilation line is one photon of 511 keV with the emission of both
// (two per positron) and the efficiencies of one; its rate without
// coincidences is that emission times eps_p. A sum peak is a cluster of
// clean sums outside every line's window within its own window, reported
// when its count is at least 1e-4 of the largest peak's count; its factor
// is 0 (no count without coincidences).
struct Result {
  std::vector<Photon> photons;    // K x-rays, L x-rays, annihilation, gamma rays by transition
  std::vector<LineResult> lines;  // by energy; sum peaks included
  std::vector<std::string> warnings;
};

// The lines of SCHEME counted at every node of SOURCE, the counts integrated
// over the nodes; a point source is one node.
Result compute(const DecayScheme& scheme, const SourceEfficiency& source, const Settings& settings);

}  // namespace tcsum::complete
