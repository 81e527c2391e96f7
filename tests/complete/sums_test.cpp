// The clean sums of the complete model: the cells of the energy axis, and
// the exact window counts against a plain computation that merges nothing.
#include "complete/sums.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "complete/support.hpp"

namespace tcsum::complete::detail {
namespace {

using test::makeScheme;

TEST(Cells, EveryEnergyFindsTheCutsAtOrBelowIt) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> uniform(-50.0, 3000.0);
  for (std::size_t n : {0, 1, 2, 3, 17, 1000}) {
    std::vector<double> cuts;
    for (std::size_t i = 0; i < n; ++i) cuts.push_back(uniform(random));
    // Repeated cuts, a crowd of close ones and a far one, as shifted windows give.
    if (n > 2) cuts.insert(cuts.end(), {cuts[0], cuts[1], cuts[1], 1e6});
    for (std::size_t i = 0; n > 100 && i < 200; ++i) cuts.push_back(511.0 + 1e-7 * static_cast<double>(i));
    const Cells cells(cuts);
    std::sort(cuts.begin(), cuts.end());
    ASSERT_EQ(cells.size(), cuts.size() + 1);
    std::vector<double> energies = cuts;  // on a cut, and next to it
    for (double c : cuts) {
      energies.push_back(std::nextafter(c, -1e300));
      energies.push_back(std::nextafter(c, 1e300));
    }
    for (int i = 0; i < 2000; ++i) energies.push_back(uniform(random));
    energies.insert(energies.end(), {-1e9, 0.0, 511.0 + 5e-6, 2e6});
    for (double e : energies) {
      const auto expected =
          static_cast<std::size_t>(std::upper_bound(cuts.begin(), cuts.end(), e) - cuts.begin());
      ASSERT_EQ(cells.of(e), expected) << n << " cuts, at " << e;
    }
    // From a known lower cell, in increasing order, and from cell 0.
    std::sort(energies.begin(), energies.end());
    std::size_t c = 0;
    for (double e : energies) {
      c = cells.after(c, e);
      ASSERT_EQ(c, cells.of(e)) << n << " cuts, at " << e;
      ASSERT_EQ(cells.after(0, e), c);
    }
  }
}

// What ends in each window with every clean sum kept apart: D_L as a map from
// the exact sum to its probability, level by level, as the model defines it.
std::vector<double> plainCounts(const Prepared& m, const std::vector<NodeEfficiencies>& nodes,
                                const std::vector<Window>& windows) {
  std::vector<double> counts(windows.size(), 0.0);
  for (const NodeEfficiencies& node : nodes) {
    auto shifts = [&](const std::vector<Alternative>& alternatives) {
      std::map<double, double> k;
      for (const Alternative& a : alternatives) {
        if (a.first < 0) {
          k[0.0] += a.p;
          continue;
        }
        const EfficiencyPair e1 = node.emitters[static_cast<std::size_t>(a.first)];
        const double E1 = m.emitters[static_cast<std::size_t>(a.first)].energy;
        if (a.second < 0) {
          k[E1] += a.p * e1.peak;
          k[0.0] += a.p * (1.0 - e1.total);
          continue;
        }
        const EfficiencyPair e2 = node.emitters[static_cast<std::size_t>(a.second)];
        const double E2 = m.emitters[static_cast<std::size_t>(a.second)].energy;
        k[E1 + E2] += a.p * e1.peak * e2.peak;
        k[E1] += a.p * e1.peak * (1.0 - e2.total);
        k[E2] += a.p * (1.0 - e1.total) * e2.peak;
        k[0.0] += a.p * (1.0 - e1.total) * (1.0 - e2.total);
      }
      return k;
    };
    std::vector<std::map<double, double>> d(m.levels.size());
    for (std::size_t l = m.levels.size(); l-- > 0;) {
      const Level& level = m.levels[l];
      for (auto [e, p] : shifts(level.feeding)) d[l][e] += p;
      if (level.out.empty() || level.endsEvent) {
        for (auto [e, p] : d[l])
          for (std::size_t w = 0; w < windows.size(); ++w)
            if (e != 0.0 && windows[w].lo <= e && e <= windows[w].hi) counts[w] += node.weight * p;
        d[l] = {{0.0, level.population}};
      }
      for (int32_t t : level.out) {
        const Transition& tr = m.transitions[static_cast<std::size_t>(t)];
        for (auto [shift, q] : shifts(tr.alternatives))
          for (auto [e, p] : d[l]) d[static_cast<std::size_t>(tr.lower)][e + shift] += tr.branch * q * p;
      }
    }
  }
  return counts;
}

// Ten levels, each fed and each to up to three below, with conversion
// (four K lines and an L line), K capture and an isomer: enough sums that
// the low levels merge theirs by cells.
DecayScheme crowded() {
  AtomicData atomic;
  atomic.omegaK = 0.9;
  atomic.kLines = {{"Ka1", 40.1, 0.55}, {"Ka2", 39.5, 0.28}, {"Kb1", 45.4, 0.14}, {"Kb2", 46.6, 0.03}};
  atomic.omegaL = 0.2;
  atomic.lEnergy = 5.6;
  std::vector<test::LevelSpec> levels{{0}};
  std::vector<test::TransitionSpec> transitions;
  for (int32_t l = 1; l < 10; ++l) {
    const double energy = 121.8 * l + 3.7 * l * l;
    levels.push_back({energy, 100.0 / 9, 0.0, 0.7, l == 6 ? std::optional<double>(1e-3) : std::nullopt});
    for (int32_t k = 1; k <= 3 && l - k >= 0; ++k)
      transitions.push_back({l, l - k, 10.0 / k, 0.4 / k, 0.3 / k, 0.05 / k});
  }
  return makeScheme(levels, transitions, atomic);
}

TEST(CleanSums, WindowCountsAreThoseOfEverySumKeptApart) {
  for (const DecayScheme& scheme : {crowded()}) {
    Prepared m = prepare(scheme, {});
    // Three nodes of different efficiencies and weights.
    std::vector<NodeEfficiencies> nodes;
    for (double scale : {1.0, 0.6, 1.3}) {
      NodeEfficiencies& node = nodes.emplace_back();
      node.weight = scale / 2.9;
      for (const Emitter& e : m.emitters) {
        const EfficiencyPair one = test::near(e.energy, scale);
        node.emitters.push_back({e.multiplier * one.total, e.multiplier * one.peak});
      }
    }
    // The lines' windows and some in between them, as sum peaks have.
    std::vector<Window> windows = m.windows;
    for (std::size_t w = 0; w + 1 < m.windows.size(); w += 3)
      if (m.windows[w + 1].lo - m.windows[w].hi > 1.0)
        windows.push_back({m.windows[w].hi + 0.25, m.windows[w + 1].lo - 0.25, {}});
    const std::vector<double> plain = plainCounts(m, nodes, windows);
    Bounding bounding;
    const WindowSums counted = countInWindows(m, windows, nodes, {}, bounding);
    EXPECT_GT(bounding.cellLevels, 0u);
    EXPECT_EQ(bounding.dropped, 0.0);
    EXPECT_EQ(bounding.width, kMergeTolerance);
    int compared = 0;
    for (std::size_t w = 0; w < windows.size(); ++w) {
      EXPECT_NEAR(counted.p[w], plain[w], 1e-12 * std::max(plain[w], 1e-6)) << windows[w].lo;
      compared += plain[w] > 1e-6 ? 1 : 0;
    }
    EXPECT_GT(compared, 30);
  }
}

}  // namespace
}  // namespace tcsum::complete::detail
