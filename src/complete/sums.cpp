// The clean sums of the complete model.
//
// D_L is gathered level by level from the top down: its feeding, and every
// transition U -> L from a level above, b_t D_U (x) K_t, K_t the shifts of
// the sum the transition makes with their probabilities. A level's list is
// kept until its lowest transition has been taken. Where an event ends (a
// level without transitions, an isomer) D_L is what the detector sees.
//
// Sums are merged as they are gathered, in one of two ways.
// - Cells. A sum E at level L ends as E + f, f one of the energies the rest
//   of the event can still add: F_L, every sum of the shifts of the
//   transitions from L down to the end of the event. Sums at L that lie in
//   one cell of the cuts lo - f and hi - f (every window, every f in F_L)
//   end in the same window whatever follows, so they can be one sum at
//   their weighted mean energy: what ends in each window, and its first
//   moment, are exact. Low in a scheme F_L is short, and that is where most
//   sums are.
//   Cells are taken where they are worth it: where F_L gives at most
//   kMaxCuts cuts, and a level gathers at least kSumsPerCut sums per cut.
// - Bins. Elsewhere sums falling into one bin of kMergeTolerance keV are
//   one. Sums below the negligible are left out; while a level holds more
//   than kMaxSums, its smallest as long as they add up to at most the
//   budget, else bins twice as wide (the bounding's width). A level's sums
//   from bins are sorted by energy, so that a level below finds their cells
//   step by step.
// The sum of nothing seen (E = 0) is always kept apart: it is no peak.
#include "complete/sums.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>

namespace tcsum::complete::detail {

namespace {

constexpr std::size_t kMaxSums = 1 << 13;        // per level, in bins
constexpr std::size_t kGathered = 4 * kMaxSums;  // while gathering a level
constexpr std::size_t kMaxSpectrum = 1 << 16;    // rough spectrum, in bins
constexpr std::size_t kMaxCuts = 1 << 14;        // per level, in cells
constexpr std::size_t kSumsPerCut = 8;
// Shifts of the rest of an event closer than this are taken as one (keV):
// only a sum this close to a window's edge could end on the other side.
constexpr double kSameShift = 1e-9;

// Sums gathered by energy: the sums falling into one bin of WIDTH keV become
// one, at their probability-weighted mean energy. An open-addressing hash of
// the bins' numbers, so adding a sum costs the same however many are held;
// the sums come out in the order their bins were first filled, so the
// result depends only on the order of the additions.
class Bins {
 public:
  explicit Bins(double width) { reset(width); }

  double width() const { return width_; }
  std::size_t size() const { return entries_.size(); }

  // Bins twice as wide, each holding what its two halves held.
  void coarsen() {
    std::vector<Entry> old;
    old.swap(entries_);
    for (const Entry& e : old) slots_[e.slot] = kFree;
    width_ *= 2.0;
    perKeV_ = 1.0 / width_;
    for (const Entry& e : old) {
      const double mean = e.pe / e.p;
      const double at = std::abs(mean - e.first) <= 0.5 * width_ ? mean : e.first;
      Entry& into = find(static_cast<int64_t>(at * perKeV_), e.first);
      into.p += e.p;
      into.pe += e.pe;
    }
  }

  // Empties the bins and sets their width.
  void reset(double width) {
    width_ = width;
    perKeV_ = 1.0 / width;
    for (const Entry& e : entries_) slots_[e.slot] = kFree;
    entries_.clear();
  }

  void add(double energy, double p) {
    Entry& e = find(static_cast<int64_t>(energy * perKeV_), energy);
    e.p += p;
    e.pe += p * energy;
  }

  // Every sum of SUMS moved by SHIFT keV, its probability times WEIGHT.
  void addShifted(const Sums& sums, double shift, double weight) {
    for (const Point& s : sums) add(s.energy + shift, s.p * weight);
  }

  // Leaves out the bins below NEGLIGIBLE, adding what they hold to DROPPED.
  void prune(double negligible, double& dropped) {
    if (negligible <= 0.0) return;
    std::vector<Entry> old;
    old.swap(entries_);
    for (const Entry& e : old) slots_[e.slot] = kFree;
    for (const Entry& e : old) {
      if (std::abs(e.p) < negligible) {
        dropped += std::abs(e.p);
        continue;
      }
      Entry& into = find(e.key, e.first);
      into.p = e.p;
      into.pe = e.pe;
    }
  }

  // The size |p| of every bin holding at least NEGLIGIBLE, into OUT.
  void sizes(double negligible, std::vector<double>& out) const {
    for (const Entry& e : entries_)
      if (std::abs(e.p) >= negligible && e.p != 0.0) out.push_back(std::abs(e.p));
  }

  // The bins' sums into OUT, leaving out those below NEGLIGIBLE (their
  // probability added to DROPPED); the bins are emptied.
  void take(Sums& out, double negligible, double& dropped) {
    out.clear();
    out.reserve(entries_.size());
    for (const Entry& e : entries_) {
      if (!(std::abs(e.p) >= negligible) || e.p == 0.0) {
        dropped += std::abs(e.p);
        continue;
      }
      // The mean of sums of one sign stays in their bin; where they nearly
      // cancel it is the first sum's energy.
      const double mean = e.pe / e.p;
      out.push_back({std::abs(mean - e.first) <= width_ ? mean : e.first, e.p});
    }
    reset(width_);
  }

 private:
  static constexpr int32_t kFree = -1;
  struct Entry {
    int64_t key;
    std::size_t slot;
    double first;  // keV, the first sum's
    double p;      // per decay
    double pe;     // p times energy
  };

  // The bin KEY, a new one (first filled at FIRST) if it holds nothing yet.
  Entry& find(int64_t key, double first) {
    if (2 * (entries_.size() + 1) > slots_.size()) grow();
    std::size_t s = slotOf(key);
    for (;;) {
      const int32_t at = slots_[s];
      if (at == kFree) break;
      Entry& e = entries_[static_cast<std::size_t>(at)];
      if (e.key == key) return e;
      s = (s + 1) & mask_;
    }
    slots_[s] = static_cast<int32_t>(entries_.size());
    return entries_.emplace_back(Entry{key, s, first, 0.0, 0.0});
  }

  std::size_t slotOf(int64_t key) const {
    return static_cast<std::size_t>((static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  void grow() {
    const std::size_t size = slots_.empty() ? 64 : 2 * slots_.size();
    slots_.assign(size, kFree);
    mask_ = size - 1;
    shift_ = 64 - std::countr_zero(size);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      std::size_t s = slotOf(entries_[i].key);
      while (slots_[s] != kFree) s = (s + 1) & mask_;
      slots_[s] = static_cast<int32_t>(i);
      entries_[i].slot = s;
    }
  }

  double width_ = 0.0, perKeV_ = 0.0;
  std::vector<int32_t> slots_;
  std::size_t mask_ = 0;
  int shift_ = 64;
  std::vector<Entry> entries_;
};

// Makes BINS hold at most LIMIT sums: those below NEGLIGIBLE left out;
// while they are still more, the smallest as long as they add up to at most
// BUDGET, else bins twice as wide. What is left out is added to DROPPED.
void fit(Bins& bins, double negligible, std::size_t limit, double budget, double& dropped) {
  std::vector<double> sizes;
  for (;;) {
    sizes.clear();
    bins.sizes(negligible, sizes);
    if (sizes.size() > limit) {
      const auto nth = sizes.begin() + static_cast<std::ptrdiff_t>(limit);
      std::nth_element(sizes.begin(), nth, sizes.end(), std::greater<>());
      double below = 0.0;
      for (auto it = nth; it != sizes.end(); ++it) below += *it;
      if (below > budget) {
        bins.coarsen();
        continue;
      }
      negligible = std::nextafter(*nth, std::numeric_limits<double>::infinity());
    }
    bins.prune(negligible, dropped);
    return;
  }
}

// Takes the sums out of BINS into OUT, fitted to LIMIT (fit); the bins are
// left empty, of the finest width.
void takeWithin(Bins& bins, Sums& out, const Leaving& leaving, std::size_t limit, Bounding& bounding) {
  double negligible = leaving.negligible;
  if (bins.size() > limit) {
    fit(bins, negligible, limit, leaving.budget, bounding.dropped);
    negligible = 0.0;
  }
  bounding.width = std::max(bounding.width, bins.width());
  bins.take(out, negligible, bounding.dropped);
  bins.reset(kMergeTolerance);
}

// Sums gathered by the cells of the energy axis (Cells), each cell's at its
// weighted mean energy; nothing seen apart.
class CellSums {
 public:
  void use(const Cells& cells) {
    cells_ = &cells;
    if (sums_.size() < cells.size()) sums_.resize(cells.size());
  }

  void add(double energy, double p) {
    if (energy == 0.0) {
      nothing_ += p;
      return;
    }
    addTo(cells_->of(energy), energy, p);
  }

  // Every sum of SUMS moved by SHIFT keV, its probability times WEIGHT;
  // cheapest with SUMS by energy.
  void addShifted(const Sums& sums, double shift, double weight) {
    std::size_t c = 0;
    bool started = false;
    double last = 0.0;
    for (const Point& s : sums) {
      const double energy = s.energy + shift;
      if (energy == 0.0) {
        nothing_ += s.p * weight;
        continue;
      }
      c = started && energy >= last ? cells_->after(c, energy) : cells_->of(energy);
      started = true;
      last = energy;
      addTo(c, energy, s.p * weight);
    }
  }

  // The cells' sums into OUT by energy (nothing seen first); the cells are
  // emptied.
  void take(Sums& out) {
    out.clear();
    out.reserve(touched_.size() + 1);
    if (nothing_ != 0.0) out.push_back({0.0, nothing_});
    std::sort(touched_.begin(), touched_.end());
    for (uint32_t c : touched_) {
      Cell& cell = sums_[c];
      if (cell.p != 0.0) {
        const double mean = cell.pe / cell.p;
        out.push_back({mean > 0.0 && cells_->of(mean) == c ? mean : cell.first, cell.p});
      }
      cell = Cell{};
    }
    touched_.clear();
    nothing_ = 0.0;
  }

 private:
  struct Cell {
    double p = 0.0, pe = 0.0;
    double first = std::numeric_limits<double>::quiet_NaN();  // keV; none yet
  };

  void addTo(std::size_t c, double energy, double p) {
    Cell& cell = sums_[c];
    if (std::isnan(cell.first)) {
      cell.first = energy;
      touched_.push_back(static_cast<uint32_t>(c));
    }
    cell.p += p;
    cell.pe += p * energy;
  }

  const Cells* cells_ = nullptr;
  std::vector<Cell> sums_;
  std::vector<uint32_t> touched_;
  double nothing_ = 0.0;
};

// Keeps the bins few enough to stay in the processor's caches while a level
// is gathered; cells are few enough.
void keepBounded(Bins& bins, const Leaving& leaving, Bounding& bounding) {
  if (bins.size() > kGathered) {
    fit(bins, leaving.negligible, kGathered / 2, leaving.budget, bounding.dropped);
    bounding.width = std::max(bounding.width, bins.width());
  }
}
void keepBounded(CellSums&, const Leaving&, Bounding&) {}

// A step's alternatives seen by the detector at one node: the shifts of the
// clean sum with their probabilities.
void kernel(const std::vector<Alternative>& alternatives, const std::vector<Emitter>& emitters,
            const std::vector<EfficiencyPair>& eps, Bins& bins, Sums& shifts) {
  for (const Alternative& a : alternatives) {
    if (a.first < 0) {
      bins.add(0.0, a.p);
      continue;
    }
    const EfficiencyPair& e1 = eps[static_cast<std::size_t>(a.first)];
    const double E1 = emitters[static_cast<std::size_t>(a.first)].energy;
    if (a.second < 0) {
      bins.add(E1, a.p * e1.peak);
      bins.add(0.0, a.p * (1.0 - e1.total));
      continue;
    }
    const EfficiencyPair& e2 = eps[static_cast<std::size_t>(a.second)];
    const double E2 = emitters[static_cast<std::size_t>(a.second)].energy;
    bins.add(E1 + E2, a.p * e1.peak * e2.peak);
    bins.add(E1, a.p * e1.peak * (1.0 - e2.total));
    bins.add(E2, a.p * (1.0 - e1.total) * e2.peak);
    bins.add(0.0, a.p * (1.0 - e1.total) * (1.0 - e2.total));
  }
  double none = 0.0;
  bins.take(shifts, 0.0, none);
}

// The energies a step's alternatives can add to the sum.
void shiftEnergies(const std::vector<Alternative>& alternatives, const std::vector<Emitter>& emitters,
                   std::vector<double>& out) {
  out.push_back(0.0);
  for (const Alternative& a : alternatives) {
    if (a.first < 0) continue;
    const double E1 = emitters[static_cast<std::size_t>(a.first)].energy;
    out.push_back(E1);
    if (a.second < 0) continue;
    const double E2 = emitters[static_cast<std::size_t>(a.second)].energy;
    out.push_back(E2);
    out.push_back(E1 + E2);
  }
}

// Sorts VALUES and keeps one of those within kSameShift of each other.
void distinct(std::vector<double>& values) {
  std::sort(values.begin(), values.end());
  std::size_t kept = 0;
  for (double v : values)
    if (kept == 0 || v - values[kept - 1] > kSameShift) values[kept++] = v;
  values.resize(kept);
}

// The node-independent part: which transitions come into each level, the
// lowest level each level's transitions reach (where its list can go), and
// the cells of the levels where the rest of the event is short enough.
// The cuts of windows W (BY_ENERGY) moved down by every energy of FUTURE:
// where a sum E + f enters (lo) and leaves (just above hi) a window.
std::vector<double> cutsFor(const std::vector<Window>& w, const std::vector<std::size_t>& byEnergy,
                            const std::vector<double>& future) {
  std::vector<double> cuts;
  cuts.reserve(2 * byEnergy.size() * future.size());
  for (double f : future)
    for (std::size_t j : byEnergy) {
      cuts.push_back(w[j].lo - f);
      cuts.push_back(std::nextafter(w[j].hi - f, std::numeric_limits<double>::infinity()));
    }
  return cuts;
}

struct Plan {
  std::vector<std::vector<int32_t>> into;
  std::vector<std::size_t> lowest;
  std::vector<std::size_t> shifts;  // of each transition, at most
  // Where F_L is known: the cuts' count, and the cells when first needed.
  std::vector<std::vector<double>> future;
  std::vector<std::size_t> cuts;
  mutable std::vector<std::optional<Cells>> cells;
  Cells ends;                         // where an event ends: the windows
  std::vector<int32_t> windowOfCell;  // of ends: the window, or -1
  const std::vector<Window>* windows = nullptr;
  std::vector<std::size_t> byEnergy;  // the windows by energy

  // The cells of level L, if they are known and worth it for PRODUCTS sums.
  const Cells* cellsFor(std::size_t l, std::size_t products) const {
    if (cuts[l] == 0 || products < kSumsPerCut * cuts[l]) return nullptr;
    if (!cells[l]) cells[l] = Cells(cutsFor(*windows, byEnergy, future[l]));
    return &*cells[l];
  }
};

bool endsEvent(const Level& level) { return level.out.empty() || level.endsEvent; }

Plan makePlan(const Prepared& m, const std::vector<Window>* windows) {
  const std::size_t n = m.levels.size();
  Plan plan;
  plan.into.resize(n);
  plan.lowest.assign(n, n);
  std::vector<double> step;
  for (std::size_t t = 0; t < m.transitions.size(); ++t) {
    const Transition& tr = m.transitions[t];
    step.clear();
    shiftEnergies(tr.alternatives, m.emitters, step);
    distinct(step);
    plan.shifts.push_back(step.size());
    const auto upper = static_cast<std::size_t>(tr.upper);
    plan.into[static_cast<std::size_t>(tr.lower)].push_back(static_cast<int32_t>(t));
    plan.lowest[upper] = std::min(plan.lowest[upper], static_cast<std::size_t>(tr.lower));
  }
  plan.cells.resize(n);
  plan.future.resize(n);
  plan.cuts.assign(n, 0);
  if (windows == nullptr) return plan;

  std::vector<std::size_t> byEnergy(windows->size());
  for (std::size_t w = 0; w < byEnergy.size(); ++w) byEnergy[w] = w;
  std::sort(byEnergy.begin(), byEnergy.end(),
            [&](std::size_t a, std::size_t b) { return (*windows)[a].lo < (*windows)[b].lo; });
  const std::size_t maxShifts = kMaxCuts / std::max<std::size_t>(1, 2 * windows->size());

  // The cells where events end: window w (by energy, j-th) is cell 2j + 1.
  const std::vector<double> nothingMore{0.0};
  plan.ends = Cells(cutsFor(*windows, byEnergy, nothingMore));
  plan.windowOfCell.assign(plan.ends.size(), -1);
  for (std::size_t j = 0; j < byEnergy.size(); ++j)
    plan.windowOfCell[2 * j + 1] = static_cast<int32_t>(byEnergy[j]);

  // F_L from the bottom up; empty where it would be too long.
  std::vector<std::vector<double>>& future = plan.future;
  std::vector<bool> known(n, false);
  for (std::size_t l = 0; l < n; ++l) {
    const Level& level = m.levels[l];
    if (endsEvent(level)) {
      future[l] = nothingMore;
      known[l] = true;
      continue;
    }
    std::vector<double> f;
    bool fits = true;
    for (int32_t t : level.out) {
      const Transition& tr = m.transitions[static_cast<std::size_t>(t)];
      const auto lower = static_cast<std::size_t>(tr.lower);
      if (!known[lower]) {
        fits = false;
        break;
      }
      step.clear();
      shiftEnergies(tr.alternatives, m.emitters, step);
      distinct(step);
      for (double e : step)
        for (double below : future[lower]) f.push_back(e + below);
      if (f.size() > maxShifts) distinct(f);
      if (f.size() > maxShifts) {
        fits = false;
        break;
      }
    }
    distinct(f);
    if (!fits || f.size() > maxShifts) continue;
    future[l] = std::move(f);
    known[l] = true;
  }
  for (std::size_t l = 0; l < n; ++l) {
    if (!known[l]) continue;
    plan.cuts[l] = 2 * windows->size() * future[l].size();
    if (endsEvent(m.levels[l])) plan.cells[l] = plan.ends;
  }
  plan.windows = windows;
  plan.byEnergy = std::move(byEnergy);
  return plan;
}

// Gathers level L's sums into ADD (bins or cells) from its feeding and the
// transitions into it.
template <class Gather>
void gatherLevel(const Prepared& m, const Plan& plan, std::size_t l,
                 const std::vector<EfficiencyPair>& eps, const std::vector<Sums>& d, Bins& kernelBins,
                 Sums& shifts, const Leaving& leaving, Bounding& bounding, Gather& into) {
  kernel(m.levels[l].feeding, m.emitters, eps, kernelBins, shifts);
  for (const Point& s : shifts) into.add(s.energy, s.p);
  for (int32_t t : plan.into[l]) {
    const Transition& tr = m.transitions[static_cast<std::size_t>(t)];
    const Sums& du = d[static_cast<std::size_t>(tr.upper)];
    if (du.empty()) continue;
    kernel(tr.alternatives, m.emitters, eps, kernelBins, shifts);
    for (const Point& shift : shifts) {
      const double weight = tr.branch * shift.p;
      into.addShifted(du, shift.energy, weight);
      keepBounded(into, leaving, bounding);
    }
  }
}

void byEnergy(Sums& sums) {
  std::sort(sums.begin(), sums.end(), [](const Point& a, const Point& b) { return a.energy < b.energy; });
}

// The lists of the levels above L that no level below needs.
void release(const Prepared& m, const Plan& plan, std::size_t l, std::vector<Sums>& d) {
  for (int32_t t : plan.into[l]) {
    const auto upper = static_cast<std::size_t>(m.transitions[static_cast<std::size_t>(t)].upper);
    if (plan.lowest[upper] == l) Sums().swap(d[upper]);
  }
}

// Every level of one node from the top down; at the end of each event,
// ENDED(sums).
template <class Ended>
void walk(const Prepared& m, const Plan& plan, const std::vector<EfficiencyPair>& eps,
          const Leaving& leaving, Bounding& bounding, Ended ended) {
  const std::size_t n = m.levels.size();
  Bins bins(kMergeTolerance), kernelBins(kMergeTolerance);
  CellSums cells;
  std::vector<Sums> d(n);
  Sums shifts;
  for (std::size_t l = n; l-- > 0;) {
    const Level& level = m.levels[l];
    std::size_t products = 0;
    for (int32_t t : plan.into[l])
      products += d[static_cast<std::size_t>(m.transitions[static_cast<std::size_t>(t)].upper)].size() *
                  plan.shifts[static_cast<std::size_t>(t)];
    if (const Cells* levelCells = endsEvent(level) && plan.windows != nullptr ? &plan.ends : plan.cellsFor(l, products)) {
      cells.use(*levelCells);
      if (levelCells != &plan.ends) ++bounding.cellLevels;
      gatherLevel(m, plan, l, eps, d, kernelBins, shifts, leaving, bounding, cells);
      release(m, plan, l, d);
      cells.take(d[l]);
    } else {
      gatherLevel(m, plan, l, eps, d, kernelBins, shifts, leaving, bounding, bins);
      release(m, plan, l, d);
      takeWithin(bins, d[l], leaving, kMaxSums, bounding);
      byEnergy(d[l]);
    }
    if (endsEvent(level)) {
      ended(d[l]);
      // Below an isomer a new event starts with every decay reaching it.
      if (level.out.empty())
        Sums().swap(d[l]);
      else
        d[l].assign(1, Point{0.0, level.population});
    }
  }
}

}  // namespace

Cells::Cells(std::vector<double> cuts) : cuts_(std::move(cuts)) {
  std::sort(cuts_.begin(), cuts_.end());
  if (cuts_.empty()) return;
  start_ = cuts_.front();
  const double span = cuts_.back() - start_;
  const std::size_t steps = span > 0.0 ? 4 * cuts_.size() : 1;
  perStep_ = span > 0.0 ? static_cast<double>(steps) / span : 0.0;
  firstCut_.resize(steps);
  std::size_t i = 0;
  for (std::size_t s = 0; s < steps; ++s) {
    const double at = start_ + static_cast<double>(s) * (span / static_cast<double>(steps));
    while (i < cuts_.size() && cuts_[i] < at) ++i;
    firstCut_[s] = static_cast<uint32_t>(i);
  }
}

std::size_t Cells::of(double energy) const {
  if (cuts_.empty()) return 0;
  const double x = (energy - start_) * perStep_;
  const std::size_t last = firstCut_.size() - 1;
  const std::size_t s = !(x > 0.0) ? 0 : x >= static_cast<double>(last) ? last : static_cast<std::size_t>(x);
  // The cuts at or below ENERGY: those below the step's start, those of the
  // step at or below it (rounding of the step aside, which the scans mend).
  std::size_t i = firstCut_[s];
  if (i > 0 && cuts_[i - 1] > energy) {
    while (i > 0 && cuts_[i - 1] > energy) --i;
    return i;
  }
  const std::size_t end = s + 1 < firstCut_.size() ? firstCut_[s + 1] : cuts_.size();
  i = static_cast<std::size_t>(std::upper_bound(cuts_.begin() + static_cast<std::ptrdiff_t>(i),
                                                cuts_.begin() + static_cast<std::ptrdiff_t>(end), energy) -
                               cuts_.begin());
  while (i < cuts_.size() && cuts_[i] <= energy) ++i;
  return i;
}

std::size_t Cells::after(std::size_t from, double energy) const {
  std::size_t i = from, step = 1;
  // Gallop to a cut above ENERGY, then halve back.
  while (i < cuts_.size() && cuts_[i] <= energy) {
    from = i + 1;
    i = from + step;
    step *= 2;
  }
  i = std::min(i, cuts_.size());
  return static_cast<std::size_t>(std::upper_bound(cuts_.begin() + static_cast<std::ptrdiff_t>(from),
                                                   cuts_.begin() + static_cast<std::ptrdiff_t>(i), energy) -
                                  cuts_.begin());
}

Sums roughSpectrum(const Prepared& m, const std::vector<NodeEfficiencies>& nodes,
                   const Leaving& leaving, Bounding& bounding) {
  const Plan plan = makePlan(m, nullptr);
  Bins spectrum(kMergeTolerance);
  for (const NodeEfficiencies& node : nodes) {
    Bounding here;
    walk(m, plan, node.emitters, leaving, here, [&](const Sums& sums) {
      for (const Point& s : sums) spectrum.add(s.energy, node.weight * s.p);
    });
    bounding.width = std::max(bounding.width, here.width);
    bounding.dropped += node.weight * here.dropped;
  }
  Sums out;
  takeWithin(spectrum, out, leaving, kMaxSpectrum, bounding);
  std::sort(out.begin(), out.end(), [](const Point& a, const Point& b) { return a.energy < b.energy; });
  return out;
}

WindowSums countInWindows(const Prepared& m, const std::vector<Window>& windows,
                          const std::vector<NodeEfficiencies>& nodes, const Leaving& leaving,
                          Bounding& bounding) {
  const Plan plan = makePlan(m, &windows);
  WindowSums counted{std::vector<double>(windows.size(), 0.0), std::vector<double>(windows.size(), 0.0)};
  for (const NodeEfficiencies& node : nodes) {
    Bounding here;
    walk(m, plan, node.emitters, leaving, here, [&](const Sums& sums) {
      for (const Point& s : sums) {
        if (s.energy == 0.0) continue;
        const int32_t w = plan.windowOfCell[plan.ends.of(s.energy)];
        if (w < 0) continue;
        counted.p[static_cast<std::size_t>(w)] += node.weight * s.p;
        counted.pe[static_cast<std::size_t>(w)] += node.weight * s.p * s.energy;
      }
    });
    bounding.width = std::max(bounding.width, here.width);
    bounding.dropped += node.weight * here.dropped;
    bounding.cellLevels += here.cellLevels;
  }
  return counted;
}

}  // namespace tcsum::complete::detail
