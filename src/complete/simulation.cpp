// Decay by decay: a node of the source by its weight, a fed level by its
// feeding, the feeding's photons, then transition after transition by the
// branching, each with its photons; every photon full (eps_p), partial
// (eps_t - eps_p) or missed. An event ends at an isomer (a new one starts
// there) and at the end of the cascade; a clean event (no partial deposit)
// counts in the window holding the sum of its full deposits.
//
// For each window the decays give y (events counted in it) and x (the
// photons of its lines emitted, each times its eps_p: the count without
// coincidences). The factor is F = sum x / sum y, with the standard
// uncertainty of a ratio estimate, u(F)^2 = sum (x - F y)^2 / (sum y)^2.
#include "complete/simulation.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "complete/prepared.hpp"

namespace tcsum::complete {

namespace {

using detail::Alternative;
using detail::Prepared;

constexpr uint64_t kBlock = 1 << 16;  // decays per random stream

// xoshiro256** seeded through splitmix64 from the seed and the block.
class Random {
 public:
  Random(uint64_t seed, uint64_t block) {
    uint64_t x = seed ^ (0x9E3779B97F4A7C15ull * (block + 1));
    for (uint64_t& s : s_) {
      x += 0x9E3779B97F4A7C15ull;
      uint64_t z = x;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      s = z ^ (z >> 31);
    }
  }
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t next() {
    const uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0], s_[3] ^= s_[1], s_[1] ^= s_[2], s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }
  uint64_t s_[4];
};

// Index of the first cumulative value above U x the last (the draw of one of
// several outcomes by their weights).
std::size_t pick(const std::vector<double>& cumulative, double u) {
  const double target = u * cumulative.back();
  const auto it = std::upper_bound(cumulative.begin(), cumulative.end(), target);
  return std::min(static_cast<std::size_t>(it - cumulative.begin()), cumulative.size() - 1);
}

std::vector<double> cumulate(const std::vector<Alternative>& alternatives) {
  std::vector<double> c;
  double sum = 0.0;
  for (const Alternative& a : alternatives) c.push_back(sum += std::max(a.p, 0.0));
  return c;
}

struct Sums {  // per window
  double x = 0, y = 0, xx = 0, yy = 0, xy = 0;
};

}  // namespace

Simulation simulate(const DecayScheme& scheme, const SourceEfficiency& source,
                    const Settings& settings, uint64_t decays, uint64_t seed, unsigned threads) {
  Prepared m = detail::prepare(scheme, settings);
  Simulation sim;
  sim.computed = detail::computePrepared(m, source);
  sim.decays = decays;
  const std::size_t nw = m.windows.size();

  // The sampling tables.
  std::vector<double> nodes;
  for (const EfficiencyNode& n : source) nodes.push_back((nodes.empty() ? 0.0 : nodes.back()) + n.weight);
  std::vector<double> fed;
  double feeding = 0.0;
  for (const detail::Level& l : m.levels) {
    for (const Alternative& a : l.feeding) feeding += std::max(a.p, 0.0);
    fed.push_back(feeding);
  }
  feeding *= 100.0;
  if (decays == 0 || feeding <= 0.0) {
    sim.lines.resize(sim.computed.lines.size());
    return sim;
  }
  std::vector<std::vector<double>> feedPick, transitionPick, branchPick;
  for (const detail::Level& l : m.levels) {
    feedPick.push_back(cumulate(l.feeding));
    std::vector<double> b;
    for (int32_t t : l.out) b.push_back((b.empty() ? 0.0 : b.back()) + m.transitions[static_cast<std::size_t>(t)].branch);
    branchPick.push_back(std::move(b));
  }
  for (const detail::Transition& t : m.transitions) transitionPick.push_back(cumulate(t.alternatives));
  std::vector<std::vector<EfficiencyPair>> eps(source.size()), lineEps(source.size());
  {
    std::vector<double> energies;
    for (const detail::Line& l : m.lines) energies.push_back(l.energy);
    for (std::size_t n = 0; n < source.size(); ++n) {
      lineEps[n].resize(m.lines.size());
      source[n].efficiency->at(energies, lineEps[n]);
      for (const detail::Emitter& e : m.emitters) {
        const EfficiencyPair& one = lineEps[n][static_cast<std::size_t>(e.line)];
        eps[n].push_back({e.multiplier * one.total, e.multiplier * one.peak});
      }
    }
  }
  // Windows by energy for the search.
  std::vector<std::size_t> byEnergy(nw);
  for (std::size_t w = 0; w < nw; ++w) byEnergy[w] = w;
  std::sort(byEnergy.begin(), byEnergy.end(),
            [&](std::size_t a, std::size_t b) { return m.windows[a].lo < m.windows[b].lo; });
  std::vector<double> los;
  for (std::size_t w : byEnergy) los.push_back(m.windows[w].lo);

  const uint64_t blocks = (decays + kBlock - 1) / kBlock;
  std::vector<Sums> total(nw);
  std::map<uint64_t, std::vector<Sums>> done;
  uint64_t nextToAdd = 0;
  std::mutex mutex;
  std::atomic<uint64_t> nextBlock{0};

  auto work = [&] {
    std::vector<double> x(nw, 0.0), y(nw, 0.0);
    std::vector<std::size_t> touched;
    for (uint64_t b; (b = nextBlock.fetch_add(1)) < blocks;) {
      Random random(seed, b);
      std::vector<Sums> sums(nw);
      const uint64_t count = std::min(kBlock, decays - b * kBlock);
      for (uint64_t d = 0; d < count; ++d) {
        const std::size_t node = nodes.size() > 1 ? pick(nodes, random.uniform()) : 0;
        const std::vector<EfficiencyPair>& e = eps[node];
        double sum = 0.0;
        bool clean = true;
        auto touch = [&](std::size_t w) {
          if (x[w] == 0.0 && y[w] == 0.0) touched.push_back(w);
        };
        auto photon = [&](int32_t k) {
          if (k < 0) return;
          const detail::Emitter& em = m.emitters[static_cast<std::size_t>(k)];
          const detail::Line& line = m.lines[static_cast<std::size_t>(em.line)];
          const std::size_t w = static_cast<std::size_t>(line.window);
          touch(w);
          x[w] += em.photons * lineEps[node][static_cast<std::size_t>(em.line)].peak;
          if (x[w] == 0.0 && y[w] == 0.0) touched.pop_back();
          const double u = random.uniform();
          if (u < e[static_cast<std::size_t>(k)].peak)
            sum += em.energy;
          else if (u < e[static_cast<std::size_t>(k)].total)
            clean = false;
        };
        auto endEvent = [&] {
          if (clean && sum > 0.0) {
            const auto it = std::upper_bound(los.begin(), los.end(), sum);
            if (it != los.begin()) {
              const std::size_t w = byEnergy[static_cast<std::size_t>(it - los.begin()) - 1];
              if (sum <= m.windows[w].hi) {
                touch(w);
                y[w] += 1.0;
              }
            }
          }
          sum = 0.0;
          clean = true;
        };
        std::size_t level = pick(fed, random.uniform());
        const Alternative& a = m.levels[level].feeding[pick(feedPick[level], random.uniform())];
        photon(a.first), photon(a.second);
        for (;;) {
          const detail::Level& l = m.levels[level];
          if (l.out.empty()) break;
          if (l.endsEvent) endEvent();
          const std::size_t t =
              static_cast<std::size_t>(l.out[pick(branchPick[level], random.uniform())]);
          const Alternative& ta =
              m.transitions[t].alternatives[pick(transitionPick[t], random.uniform())];
          photon(ta.first), photon(ta.second);
          level = static_cast<std::size_t>(m.transitions[t].lower);
        }
        endEvent();
        for (std::size_t w : touched) {
          Sums& s = sums[w];
          s.x += x[w], s.y += y[w];
          s.xx += x[w] * x[w], s.yy += y[w] * y[w], s.xy += x[w] * y[w];
          x[w] = y[w] = 0.0;
        }
        touched.clear();
      }
      std::lock_guard lock(mutex);
      done.emplace(b, std::move(sums));
      while (!done.empty() && done.begin()->first == nextToAdd) {
        for (std::size_t w = 0; w < nw; ++w) {
          const Sums& s = done.begin()->second[w];
          Sums& t = total[w];
          t.x += s.x, t.y += s.y, t.xx += s.xx, t.yy += s.yy, t.xy += s.xy;
        }
        done.erase(done.begin());
        ++nextToAdd;
      }
    }
  };
  const unsigned n = threads > 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
  {
    std::vector<std::jthread> pool;
    for (unsigned t = 1; t < std::min<uint64_t>(n, blocks); ++t) pool.emplace_back(work);
    work();
  }

  // Per 100 decays: each simulated decay stands for FEEDING percent of decays.
  const double N = static_cast<double>(decays);
  const double scale = feeding;
  for (std::size_t k = 0; k < sim.computed.lines.size(); ++k) {
    const Sums& s = total[static_cast<std::size_t>(m.resultWindows[k])];
    const LineResult& line = sim.computed.lines[k];
    SimulatedLine r;
    const double meanY = s.y / N;
    r.rate = scale * meanY;
    r.rateUncertainty = scale * std::sqrt(std::max(s.yy / N - meanY * meanY, 0.0) / N);
    const detail::Window& w = m.windows[static_cast<std::size_t>(m.resultWindows[k])];
    if (!w.lines.empty() && s.y > 0.0) {
      const double F = s.x / s.y;
      r.factor = F;
      r.factorUncertainty =
          std::sqrt(std::max(s.xx - 2.0 * F * s.xy + F * F * s.yy, 0.0)) / s.y;
      // A line of a shared peak has the peak's factor; its rate its share.
      if (line.rate0 > 0.0) r.rate = line.rate0 / F, r.rateUncertainty = r.rate * r.factorUncertainty / F;
    } else if (!w.lines.empty()) {
      r.factor = std::numeric_limits<double>::quiet_NaN();
    }
    sim.lines.push_back(r);
  }
  return sim;
}

}  // namespace tcsum::complete
