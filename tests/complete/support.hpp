#pragma once
// Hand-built decay schemes and a smooth efficiency for the complete model's tests.
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/efficiency.hpp"
#include "core/scheme.hpp"

namespace tcsum::test {

// Efficiencies from a function of the energy.
class FunctionEfficiency final : public Efficiency {
 public:
  explicit FunctionEfficiency(std::function<EfficiencyPair(double)> f) : f_(std::move(f)) {}
  EfficiencyPair at(double energy) const override { return f_(energy); }
  std::size_t points() const override { return 1; }
  std::unique_ptr<Efficiency> scaled(std::span<const double>, std::span<const double>) const override {
    return std::make_unique<FunctionEfficiency>(f_);
  }
  std::string describe() const override { return "test function"; }

 private:
  std::function<EfficiencyPair(double)> f_;
};

// A detector close to the source: total 0.25 (E/100 keV)^-0.5, peak a falling share of it.
inline EfficiencyPair near(double e, double scale = 1.0) {
  const double total = scale * 0.25 * std::pow(e / 100.0, -0.5);
  return {total, total * 0.5 * std::pow(e / 100.0, -0.2)};
}

inline SourceEfficiency pointSource(double scale = 1.0) {
  return {{1.0, std::make_shared<FunctionEfficiency>([scale](double e) { return near(e, scale); })}};
}

struct LevelSpec {
  double energy, feeding = 0.0, betaPlus = 0.0, pk = 0.0;
  std::optional<double> halfLife = std::nullopt;
};
struct TransitionSpec {
  int32_t upper, lower;
  double gamma, alpha = 0.0, alphaK = 0.0;
  std::optional<double> alphaL = std::nullopt;
};

// Transition energies from the level energies.
inline DecayScheme makeScheme(std::vector<LevelSpec> levels, std::vector<TransitionSpec> transitions,
                              AtomicData atomic = {}) {
  DecayScheme s;
  s.name = "test";
  for (const LevelSpec& l : levels) {
    SchemeLevel level;
    level.energy = l.energy, level.feeding = l.feeding, level.betaPlus = l.betaPlus;
    level.kCaptureFraction = l.pk, level.halfLife = l.halfLife;
    s.levels.push_back(level);
  }
  for (const TransitionSpec& t : transitions) {
    SchemeTransition tr;
    tr.upper = t.upper, tr.lower = t.lower, tr.gamma = t.gamma;
    tr.alpha = t.alpha, tr.alphaK = t.alphaK, tr.alphaL = t.alphaL;
    tr.energy = levels[static_cast<std::size_t>(t.upper)].energy -
                levels[static_cast<std::size_t>(t.lower)].energy;
    s.transitions.push_back(tr);
  }
  s.atomic = std::move(atomic);
  return s;
}

}  // namespace tcsum::test
