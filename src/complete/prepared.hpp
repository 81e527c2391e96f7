#pragma once
// The complete model's decay scheme made ready for counting, shared by the
// exact computation (model.cpp) and the event-by-event simulation: what each
// step of a decay emits, the lines and the energy windows in which they are
// counted. Not for use outside src/complete.
#include <cstdint>
#include <vector>

#include "complete/model.hpp"

namespace tcsum::complete::detail {

// Something one detector sees as one photon: a photon of a line, or the two
// photons of a positron leaving back to back (at most one of them reaches
// the detector: twice the efficiencies of one).
struct Emitter {
  double energy = 0.0;  // keV, of each photon
  int32_t line = -1;    // index into Prepared::lines
  double multiplier = 1.0;  // efficiencies of one photon times this
  int32_t photons = 1;      // photons of the line it stands for
};

// One way a step of the decay can go: with probability P, the emitters
// FIRST and SECOND (-1: none) leave the atom together.
struct Alternative {
  double p = 0.0;
  int32_t first = -1;
  int32_t second = -1;
};

struct Transition {
  int32_t upper = 0, lower = 0;
  double branch = 0.0;  // share of the upper level's population
  std::vector<Alternative> alternatives;  // add up to 1
};

struct Level {
  double population = 0.0;  // per decay: feeding and every transition into it
  bool endsEvent = false;   // an isomer (or the end of every cascade through it)
  // The feeding's alternatives, probabilities per decay (adding up to the
  // level's feeding per decay).
  std::vector<Alternative> feeding;
  std::vector<int32_t> out;  // indexes into Prepared::transitions
};

struct Line {
  LineKind kind = LineKind::gamma;
  std::string label;
  int32_t upper = -1, lower = -1;
  double energy = 0.0;    // keV
  double emission = 0.0;  // photons per decay
  int32_t window = -1;    // index into Prepared::windows
};

// An energy window of the clean-sum spectrum, lo <= E <= hi: the peak of
// one line or of lines too close to be told apart, or a sum peak.
struct Window {
  double lo = 0.0, hi = 0.0;
  std::vector<int32_t> lines;  // into Prepared::lines; empty for a sum peak
};

struct Prepared {
  Settings settings;
  std::vector<Emitter> emitters;
  std::vector<Level> levels;  // as in the scheme
  std::vector<Transition> transitions;
  std::vector<Line> lines;      // photon lines, by energy
  std::vector<Window> windows;  // lines' windows by energy, then the sum peaks'
  std::vector<int32_t> resultWindows;  // the window of each of the result's lines
  std::vector<std::string> warnings;
};

// Everything up to the windows of the lines (the sum peaks come from the
// computed spectrum).
Prepared prepare(const DecayScheme& scheme, const Settings& settings);

// Half-width of the peak window at ENERGY, keV.
double halfWidth(double energy, const Settings& settings);

// The exact computation with the prepared scheme: the result and, in
// PREPARED, the windows of the sum peaks (after the photon lines' windows)
// and the window of each line of the result.
Result computePrepared(Prepared& prepared, const SourceEfficiency& source);

}  // namespace tcsum::complete::detail
