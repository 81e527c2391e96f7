#pragma once
// The complete model decay by decay: the same scheme, efficiencies and
// windows, sampled instead of summed, as a check of the exact computation
// on any scheme. Deterministic for a seed whatever the number of threads:
// the decays run in blocks, each block with its own random stream, and the
// blocks' counts are added in block order.
#include <cstdint>
#include <vector>

#include "complete/model.hpp"

namespace tcsum::complete {

struct SimulatedLine {
  double rate = 0.0;              // peak count per 100 decays
  double rateUncertainty = 0.0;   // its statistical standard uncertainty
  double factor = 0.0;            // count without coincidences over count with them
  double factorUncertainty = 0.0;
};

struct Simulation {
  Result computed;                   // the exact result the lines below belong to
  std::vector<SimulatedLine> lines;  // as computed.lines
  uint64_t decays = 0;
};

// DECAYS decays with seed SEED on THREADS threads (0: every core).
Simulation simulate(const DecayScheme& scheme, const SourceEfficiency& source,
                    const Settings& settings, uint64_t decays, uint64_t seed,
                    unsigned threads = 0);

}  // namespace tcsum::complete
