#pragma once
// The lines of a computed data set, as every model reports them: what is
// emitted, what its peak counts without and with coincidences, and the
// factor that removes the coincidences from a measured peak area. Values in
// double; a model that computes in float fills them exactly.
#include <cstdint>
#include <string>
#include <vector>

namespace tcsum {

enum class LineKind {
  gamma,         // a transition's gamma ray
  kxray,         // the K x-rays, one line or a group (Ka1, Ka2, Kb1, Kb2)
  lxray,         // the L x-rays as one group
  annihilation,  // 511 keV from positrons
  sum,           // a coincidence sum that is no line of the decay
};

// "gamma", "kxray", "lxray", "annihilation", "sum": the names the outputs use.
constexpr const char* lineKindName(LineKind kind) {
  switch (kind) {
    case LineKind::gamma: return "gamma";
    case LineKind::kxray: return "kxray";
    case LineKind::lxray: return "lxray";
    case LineKind::annihilation: return "annihilation";
    case LineKind::sum: return "sum";
  }
  return "";
}

struct LineResult {
  LineKind kind = LineKind::gamma;
  std::string label;     // "Ka1", "Kb" ...; empty for gamma, annihilation and sum lines
  int32_t upper = -1;    // gamma: the transition's levels (indexes of the scheme); else -1
  int32_t lower = -1;
  double energy = 0.0;    // keV
  double emission = 0.0;  // photons per 100 decays (0 for a sum peak)
  double rate0 = 0.0;     // peak count per 100 decays without coincidences
  double rate = 0.0;      // ... with coincidences
  double factor = 1.0;    // rate0 / rate (NaN where rate is 0)
};

}  // namespace tcsum
