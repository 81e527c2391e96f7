#include "input/decay_scheme.hpp"

#include <algorithm>
#include <map>
#include <utility>

namespace tcsum {

DecayScheme decaySchemeOf(const DataSetResult& header, int32_t headerRecord,
                          std::span<const LevelRecord> levels,
                          std::span<const TransitionRecord> transitions) {
  DecayScheme scheme;
  scheme.name = trimmedName(header.DSNAME);
  scheme.decayMode = trimmedName(header.DECMODE);
  scheme.electronCapture = header.electronCapture;
  scheme.xrayEnergy = header.EX;
  scheme.omegaK = header.OMEGAK;
  scheme.record = headerRecord;

  const auto count = static_cast<int32_t>(levels.empty() ? 0 : levels.size() - 1);
  for (int32_t k = 0; k < count; ++k) {
    const LevelRecord& l = levels[static_cast<std::size_t>(k)];
    SchemeLevel level;
    level.energy = l.energy;
    level.feeding = l.feeding;
    level.kCaptureFraction = l.fraction;
    level.record = headerRecord + k + 1;
    scheme.levels.push_back(level);
  }

  std::map<std::pair<int32_t, int32_t>, const TransitionRecord*> last;
  for (const TransitionRecord& t : transitions)
    last[{t.upper, t.lower}] = &t;
  for (const auto& [levelsOf, t] : last) {
    if (t->upper > count || t->lower < 1 || t->lower >= t->upper || t->intensity == 0.0f)
      continue;
    SchemeTransition s;
    s.upper = t->upper - 1;
    s.lower = t->lower - 1;
    s.energy = t->energy;
    s.gamma = t->intensity;
    s.alpha = t->ALPHA;
    s.alphaK = t->ALPHAK;
    s.record = t->record;
    scheme.transitions.push_back(s);
  }
  return scheme;
}

}  // namespace tcsum
