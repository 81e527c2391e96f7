// The complete model, computed exactly.
//
// Method. An event is what the detector sees of one decay (or, below an
// isomer, of the decay of that isomer): the photons of the feeding and of
// every transition down to the ground state or to the next isomer. Each
// photon either deposits its full energy (eps_p), deposits part of it
// (eps_t - eps_p), or is not seen (1 - eps_t). An event counts in the peak
// of a line when it has no partial deposit and its full-energy deposits add
// up to an energy in the line's window.
//
// So only "clean" events matter, and of them only the sum of their full
// deposits. For every level L we carry D_L(E): the probability per decay of
// reaching L clean with full deposits adding up to E, a list of (E, p).
// The levels are taken from the top down; when L is
// reached every transition into it has been counted, and
//   D_L  = F_L (x) delta_0 + sum over transitions U -> L of  b_t  D_U (x) K_t
// where F_L is the feeding of L with its x-rays or annihilation photons,
// b_t the branching of t out of U, and K_t the transition's kernel: the
// shifts of E it makes with their probabilities,
//   gamma  1/(1+alpha):        E + E_g with eps_p(E_g), E with 1 - eps_t(E_g)
//   K conversion alphaK/(1+alpha), then a K x-ray of line k (omegaK s_k):
//                              E + E_k with eps_p(E_k), E with 1 - eps_t(E_k)
//   L conversion alphaL/(1+alpha), an L x-ray (omegaL) likewise;
//   anything else:             E unchanged.
// A partial deposit takes the event out of every peak, so it is dropped.
// An event ends at a level without transitions and at an isomer: its D_L
// goes into the spectrum S(E) of clean sums, and at an isomer a new event
// starts with D_L = population(L) delta_0 (every event reaching it, clean
// or not). The line counts are sums of S over their windows; what S holds
// outside every line's window is a sum peak.
//
// Sum peaks: a first, rough computation (sums below kRoughShare of the
// strongest line's count without coincidences left out) finds where the
// clean sums outside every line's window gather: around each of its
// strongest sums, within that sum's half-width and not into another window.
// Then the exact computation counts every window, the lines' and those of
// the sum peaks; a sum peak is reported when it holds at least
// kSumPeakShare of the strongest line's count.
//
// Cost: each transition costs |D_U| |K_t|. The lists are kept short by
// merging sums that end in the same windows whatever the rest of the event
// adds (sums.cpp): nothing grows with the number of paths through the
// scheme, and the counts stay exact.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>

#include "complete/prepared.hpp"
#include "complete/sums.hpp"
#include "core/number_text.hpp"

namespace tcsum::complete {

namespace detail {

namespace {

// Merging coarser than this is worth a warning.
constexpr double kReportedMerge = 0.01;  // keV
// A sum peak is reported when it holds at least this share of the count of
// the strongest line.
constexpr double kSumPeakShare = 1e-4;
// What the computation may leave out, as shares of the strongest line's
// count without coincidences (per decay):
// - exact counts: sums below kExactShare, where a level's sums are gathered
//   in bins; and, while a level holds more sums than it may, its smallest
//   adding up to at most kFitShare (before bins are made wider);
// - the rough spectrum that finds the sum peaks: sums below kRoughShare,
//   a hundredth of the smallest sum peak reported.
constexpr double kExactShare = 1e-13;
constexpr double kFitShare = 1e-8;
constexpr double kRoughShare = 1e-2 * kSumPeakShare;
// Lines whose count could be low by more than this share, because of the
// sums left out, are counted in a warning, those at least kVisible of the
// strongest line without coincidences.
constexpr double kReportedLoss = 1e-4;
constexpr double kVisible = 1e-6;
// The detector's resolution when no window is given: a coaxial HPGe
// detector, FWHM(E) = sqrt(w0^2 + w1 E), 1.0 keV at 122 keV and 1.9 keV at
// 1332 keV; the window is +- one FWHM around the line.
constexpr double kFwhmW0 = 0.8584;    // keV
constexpr double kFwhmW1 = 2.157e-3;  // keV
constexpr double kAnnihilationEnergy = 510.99895;  // keV, the electron's rest energy

std::string text(double value) {
  return text::significant(value, 6);
}

}  // namespace

double halfWidth(double energy, const Settings& settings) {
  if (settings.peakWindow) return *settings.peakWindow;
  return std::sqrt(kFwhmW0 * kFwhmW0 + kFwhmW1 * std::max(energy, 0.0));
}

Prepared prepare(const DecayScheme& scheme, const Settings& settings) {
  if (settings.peakWindow && !(*settings.peakWindow > 0.0 && std::isfinite(*settings.peakWindow)))
    throw std::invalid_argument("the peak window must be a positive number of keV");
  Prepared m;
  m.settings = settings;
  const std::size_t n = scheme.levels.size();
  m.levels.resize(n);

  // The daughter's x-rays: the K line groups, or the data file's one line.
  std::vector<AtomicLine> kLines = scheme.atomic.kLines;
  double omegaK = scheme.atomic.omegaK;
  if (kLines.empty() && scheme.xrayEnergy > 0.0) {
    kLines.push_back({"K", scheme.xrayEnergy, 1.0});
    omegaK = scheme.omegaK;
  }
  const double omegaL = scheme.atomic.lEnergy > 0.0 ? scheme.atomic.omegaL : 0.0;

  auto addLine = [&](LineKind kind, std::string label, int32_t upper, int32_t lower,
                     double energy, double multiplier, int32_t photons) {
    m.lines.push_back({kind, std::move(label), upper, lower, energy, 0.0, -1});
    m.emitters.push_back({energy, static_cast<int32_t>(m.lines.size() - 1), multiplier, photons});
    return static_cast<int32_t>(m.emitters.size() - 1);
  };
  std::vector<int32_t> kEmitters;
  for (const AtomicLine& x : kLines)
    kEmitters.push_back(addLine(LineKind::kxray, x.label, -1, -1, x.energy, 1.0, 1));
  const int32_t lEmitter =
      omegaL > 0.0 ? addLine(LineKind::lxray, "L", -1, -1, scheme.atomic.lEnergy, 1.0, 1) : -1;
  int32_t pair = -1, single = -1;
  bool positrons = false;
  for (const SchemeLevel& l : scheme.levels) positrons = positrons || l.betaPlus > 0.0;
  if (positrons && settings.annihilation == Annihilation::backToBack) {
    pair = addLine(LineKind::annihilation, "", -1, -1, kAnnihilationEnergy, 2.0, 2);
  } else if (positrons && settings.annihilation == Annihilation::independent) {
    single = addLine(LineKind::annihilation, "", -1, -1, kAnnihilationEnergy, 1.0, 1);
  }

  // A vacancy in the K shell: a K x-ray of each line, or none.
  auto kVacancy = [&](double p, std::vector<Alternative>& alternatives) {
    double left = p;
    if (omegaK > 0.0)
      for (std::size_t k = 0; k < kLines.size(); ++k) {
        alternatives.push_back({p * omegaK * kLines[k].share, kEmitters[k], -1});
        left -= p * omegaK * kLines[k].share;
      }
    return left;
  };

  // Feeding: positrons, capture with its K and L vacancies.
  double feeding = 0.0;
  int32_t badFeeding = 0;
  bool noKLines = false;
  for (std::size_t l = 0; l < n; ++l) {
    const SchemeLevel& sl = scheme.levels[l];
    Level& level = m.levels[l];
    const bool usable = std::isfinite(sl.feeding) && sl.feeding >= 0.0;
    badFeeding += usable ? 0 : 1;
    const double feed = usable ? sl.feeding / 100.0 : 0.0;
    const double betaPlus =
        std::isfinite(sl.betaPlus) ? std::clamp(sl.betaPlus / 100.0, 0.0, feed) : 0.0;
    const double capture = feed - betaPlus;
    feeding += 100.0 * feed;
    level.population = feed;
    if (betaPlus > 0.0) {
      if (pair >= 0)
        level.feeding.push_back({betaPlus, pair, -1});
      else if (single >= 0)
        level.feeding.push_back({betaPlus, single, single});
      else
        level.feeding.push_back({betaPlus, -1, -1});
    }
    // The capture shells' fractions as given, within what they can be.
    const double PK = std::isfinite(sl.kCaptureFraction) ? std::clamp(sl.kCaptureFraction, 0.0, 1.0) : 0.0;
    const double PL = sl.lCaptureFraction && std::isfinite(*sl.lCaptureFraction)
                          ? std::clamp(*sl.lCaptureFraction, 0.0, 1.0 - PK)
                          : 0.0;
    double none = capture;
    if (PK > 0.0 && capture > 0.0) {
      noKLines = noKLines || (kLines.empty() && omegaK > 0.0);
      none -= capture * PK;
      none += kVacancy(capture * PK, level.feeding);
    }
    if (lEmitter >= 0 && PL > 0.0 && capture > 0.0) {
      const double pL = capture * PL * omegaL;
      level.feeding.push_back({pL, lEmitter, -1});
      none -= pL;
    }
    if (none != 0.0) level.feeding.push_back({none, -1, -1});
    level.endsEvent = l > 0 && sl.halfLife && *sl.halfLife >= settings.isomerThreshold;
  }
  if (badFeeding > 0)
    m.warnings.push_back(std::to_string(badFeeding) +
                         " levels with a negative or unknown feeding: taken as not fed");
  if (std::abs(feeding - 100.0) > 0.1)
    m.warnings.push_back("the levels' feeding adds up to " + text(feeding) +
                         " % of decays, not 100 %");

  // Transitions: each with its gamma ray and conversion.
  std::vector<double> out(n, 0.0);  // the data's intensity out of each level, per decay
  int32_t skipped = 0;
  int32_t raised = 0;
  for (const SchemeTransition& given : scheme.transitions) {
    const double shells = given.alphaK + (given.alphaL ? *given.alphaL : 0.0);
    const bool valid = given.upper > given.lower && given.lower >= 0 &&
                       static_cast<std::size_t>(given.upper) < n && std::isfinite(given.gamma) &&
                       given.gamma > 0.0 && std::isfinite(given.alpha) && given.alpha >= 0.0 &&
                       std::isfinite(shells) && given.alphaK >= 0.0 && shells >= 0.0 &&
                       std::isfinite(given.energy) && given.energy > 0.0;
    if (!valid) {
      ++skipped;
      continue;
    }
    // Evaluations often give the K (and L) coefficients without the total;
    // the total is then at least their sum, which is taken, rather than
    // leaving the transition (often a strong line) out.
    SchemeTransition st = given;
    if (st.alpha < shells) {
      st.alpha = shells;
      ++raised;
    }
    Transition t;
    t.upper = st.upper, t.lower = st.lower;
    const double intensity = st.gamma / 100.0 * (1.0 + st.alpha);
    t.branch = intensity;  // normalised below
    out[static_cast<std::size_t>(st.upper)] += intensity;
    const double toGamma = 1.0 / (1.0 + st.alpha);
    t.alternatives.push_back(
        {toGamma, addLine(LineKind::gamma, "", st.upper, st.lower, st.energy, 1.0, 1), -1});
    double none = 1.0 - toGamma;
    if (st.alphaK > 0.0) {
      const double pK = st.alphaK / (1.0 + st.alpha);
      noKLines = noKLines || (kLines.empty() && omegaK > 0.0);
      none += kVacancy(pK, t.alternatives) - pK;
    }
    if (lEmitter >= 0 && st.alphaL && *st.alphaL > 0.0) {
      const double pL = *st.alphaL / (1.0 + st.alpha) * omegaL;
      t.alternatives.push_back({pL, lEmitter, -1});
      none -= pL;
    }
    if (none != 0.0) t.alternatives.push_back({none, -1, -1});
    m.levels[static_cast<std::size_t>(st.upper)].out.push_back(
        static_cast<int32_t>(m.transitions.size()));
    m.transitions.push_back(std::move(t));
  }
  if (raised > 0)
    m.warnings.push_back(std::to_string(raised) +
                         " transitions with a total conversion coefficient below the sum of "
                         "its K and L coefficients (often none given): the sum taken");
  if (skipped > 0)
    m.warnings.push_back(std::to_string(skipped) +
                         " transitions left out: no gamma intensity, or levels, energy or "
                         "conversion coefficients out of range");
  if (noKLines)
    m.warnings.push_back("no K x-ray lines for the daughter: K x-rays not counted");

  // Populations from the top down; the branching in the ratio of the
  // transitions' intensities.
  int32_t unbalanced = 0, deadEnds = 0;
  double worst = 0.0, worstLevel = 0.0;
  for (std::size_t l = n; l-- > 0;) {
    Level& level = m.levels[l];
    if (level.out.empty()) {
      if (l > 0 && level.population > 1e-6) ++deadEnds;
      continue;
    }
    const double difference = std::abs(level.population - out[l]);
    if (difference > 1e-4 && difference > 0.01 * std::max(level.population, out[l])) {
      ++unbalanced;
      if (difference > worst) worst = difference, worstLevel = scheme.levels[l].energy;
    }
    for (int32_t t : level.out) {
      Transition& tr = m.transitions[static_cast<std::size_t>(t)];
      tr.branch /= out[l];
      m.levels[static_cast<std::size_t>(tr.lower)].population += level.population * tr.branch;
    }
  }
  if (unbalanced > 0)
    m.warnings.push_back(std::to_string(unbalanced) +
                         " levels unbalanced (in against out by more than 1 %), the worst at " +
                         text(worstLevel) + " keV by " + text(100.0 * worst) +
                         " % of decays: each level's population leaves in the ratio of its "
                         "transitions' intensities");
  if (deadEnds > 0)
    m.warnings.push_back(std::to_string(deadEnds) +
                         " excited levels without transitions: cascades end there");

  // Emission of each line, per decay.
  auto emit = [&](const std::vector<Alternative>& alternatives, double weight) {
    for (const Alternative& a : alternatives)
      for (int32_t e : {a.first, a.second})
        if (e >= 0) {
          const Emitter& em = m.emitters[static_cast<std::size_t>(e)];
          m.lines[static_cast<std::size_t>(em.line)].emission += weight * a.p * em.photons;
        }
  };
  for (const Level& level : m.levels) emit(level.feeding, 1.0);
  for (const Transition& t : m.transitions)
    emit(t.alternatives, m.levels[static_cast<std::size_t>(t.upper)].population * t.branch);

  // Lines by energy; those within one another's window form one peak, and
  // neighbouring peaks' windows end half-way between them.
  std::vector<int32_t> order(m.lines.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int32_t>(k);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return m.lines[static_cast<std::size_t>(a)].energy < m.lines[static_cast<std::size_t>(b)].energy;
  });
  for (int32_t k : order) {
    const Line& line = m.lines[static_cast<std::size_t>(k)];
    const double w = halfWidth(line.energy, settings);
    if (!m.windows.empty()) {
      Window& last = m.windows.back();
      const Line& previous = m.lines[static_cast<std::size_t>(last.lines.back())];
      if (line.energy - previous.energy <= w) {
        last.lines.push_back(k);
        last.hi = line.energy + w;
        continue;
      }
      if (last.hi >= line.energy - w) {
        const double middle = 0.5 * (previous.energy + line.energy);
        last.hi = middle;
        m.windows.push_back({std::nextafter(middle, middle + 1.0), line.energy + w, {k}});
        continue;
      }
    }
    m.windows.push_back({line.energy - w, line.energy + w, {k}});
  }
  for (std::size_t w = 0; w < m.windows.size(); ++w) {
    const Window& window = m.windows[w];
    bool xraysOnly = true;
    for (int32_t k : window.lines) {
      m.lines[static_cast<std::size_t>(k)].window = static_cast<int32_t>(w);
      xraysOnly = xraysOnly && m.lines[static_cast<std::size_t>(k)].kind == LineKind::kxray;
    }
    if (window.lines.size() > 1 && !xraysOnly) {
      std::string energies;
      for (int32_t k : window.lines)
        energies += (energies.empty() ? "" : ", ") + text(m.lines[static_cast<std::size_t>(k)].energy);
      m.warnings.push_back("lines at " + energies +
                           " keV lie within one another's peak window: counted as one peak, "
                           "each with that peak's factor");
    }
  }
  return m;
}

namespace {

// The clean sums of SPECTRUM outside every window of TAKEN gathered into
// sum peaks: around each of the strongest sums, within its half-width and
// not into another window; the windows of those holding at least LEAST.
std::vector<Window> sumPeakWindows(const Sums& spectrum, const std::vector<Window>& lines,
                                   double least, const Settings& settings) {
  std::map<double, double> taken;  // lo -> hi of every window so far
  for (const Window& w : lines) taken[w.lo] = w.hi;
  auto inside = [&](double e) {
    auto it = taken.upper_bound(e);
    return it != taken.begin() && std::prev(it)->second >= e;
  };
  std::vector<std::size_t> byProbability;
  for (std::size_t i = 0; i < spectrum.size(); ++i)
    if (spectrum[i].energy != 0.0 && !inside(spectrum[i].energy)) byProbability.push_back(i);
  std::stable_sort(byProbability.begin(), byProbability.end(),
                   [&](std::size_t a, std::size_t b) { return spectrum[a].p > spectrum[b].p; });
  std::vector<bool> used(spectrum.size(), false);
  std::vector<Window> peaks;
  for (std::size_t i : byProbability) {
    if (used[i]) continue;
    const double e = spectrum[i].energy;
    const double w = halfWidth(e, settings);
    double lo = e - w, hi = e + w;
    if (auto above = taken.upper_bound(e); above != taken.end())
      hi = std::min(hi, std::nextafter(above->first, lo));
    if (auto above = taken.upper_bound(e); above != taken.begin())
      lo = std::max(lo, std::nextafter(std::prev(above)->second, hi));
    double p = 0.0;
    auto first = std::lower_bound(spectrum.begin(), spectrum.end(), lo,
                                  [](const Point& s, double x) { return s.energy < x; });
    for (auto it = first; it != spectrum.end() && it->energy <= hi; ++it) {
      const auto j = static_cast<std::size_t>(it - spectrum.begin());
      if (used[j] || it->energy == 0.0) continue;
      used[j] = true;
      p += it->p;
    }
    taken[lo] = hi;
    if (p >= least && p > 0.0) peaks.push_back({lo, hi, {}});
  }
  return peaks;
}

}  // namespace

Result computePrepared(Prepared& m, const SourceEfficiency& source) {
  if (source.empty()) throw std::invalid_argument("no efficiency node");
  std::vector<double> lineEnergies;
  for (const Line& l : m.lines) lineEnergies.push_back(l.energy);

  Result result;
  result.warnings = m.warnings;
  std::vector<EfficiencyPair> meanEps(m.lines.size());
  std::vector<double> rate0(m.lines.size(), 0.0);
  std::vector<NodeEfficiencies> nodes;
  bool pairTooLikely = false;
  for (const EfficiencyNode& node : source) {
    std::vector<EfficiencyPair> lineEps(m.lines.size());
    node.efficiency->at(lineEnergies, lineEps);
    NodeEfficiencies& here = nodes.emplace_back();
    here.weight = node.weight;
    here.emitters.resize(m.emitters.size());
    for (std::size_t e = 0; e < m.emitters.size(); ++e) {
      const EfficiencyPair& one = lineEps[static_cast<std::size_t>(m.emitters[e].line)];
      here.emitters[e] = {m.emitters[e].multiplier * one.total, m.emitters[e].multiplier * one.peak};
      pairTooLikely = pairTooLikely || (m.emitters[e].multiplier > 1.0 && here.emitters[e].total > 1.0);
    }
    for (std::size_t k = 0; k < m.lines.size(); ++k) {
      rate0[k] += node.weight * m.lines[k].emission * lineEps[k].peak;
      meanEps[k].total += node.weight * lineEps[k].total;
      meanEps[k].peak += node.weight * lineEps[k].peak;
    }
  }
  std::size_t lineWindows = 0;
  while (lineWindows < m.windows.size() && !m.windows[lineWindows].lines.empty()) ++lineWindows;
  m.windows.resize(lineWindows);

  // Where the sum peaks lie, from the rough spectrum; then every window
  // counted exactly.
  const double strongest0 = rate0.empty() ? 0.0 : *std::max_element(rate0.begin(), rate0.end());
  Bounding rough;
  const Sums spectrum =
      roughSpectrum(m, nodes, {kRoughShare * strongest0, kFitShare * strongest0}, rough);
  double roughest = 0.0;  // the strongest line's count in the rough spectrum
  for (const Window& w : m.windows) {
    double inWindow = 0.0;
    auto first = std::lower_bound(spectrum.begin(), spectrum.end(), w.lo,
                                  [](const Point& s, double e) { return s.energy < e; });
    for (auto it = first; it != spectrum.end() && it->energy <= w.hi; ++it)
      if (it->energy != 0.0) inWindow += it->p;
    roughest = std::max(roughest, inWindow);
  }
  const std::vector<Window> peaks =
      sumPeakWindows(spectrum, m.windows, 0.5 * kSumPeakShare * roughest, m.settings);
  std::vector<Window> windows = m.windows;
  windows.insert(windows.end(), peaks.begin(), peaks.end());
  Bounding bounding;
  const WindowSums counted =
      countInWindows(m, windows, nodes, {kExactShare * strongest0, kFitShare * strongest0}, bounding);
  if (bounding.width > kReportedMerge)
    result.warnings.push_back("coincidence sums merged to within " + text(bounding.width) +
                              " keV to bound the computation");
  if (pairTooLikely)
    result.warnings.push_back(
        "an efficiency above 1/2 at 511 keV: two photons back to back cannot both miss; "
        "consider independent annihilation photons");

  for (std::size_t k = 0; k < m.lines.size(); ++k) {
    const Line& l = m.lines[k];
    result.photons.push_back({l.kind, l.label, l.upper, l.lower, l.energy, 100.0 * l.emission,
                              meanEps[k]});
  }

  // Each peak: the count in its window shared among its lines in the ratio
  // of their counts without coincidences.
  std::vector<LineResult> lines;
  std::vector<int32_t> lineWindow;
  double strongest = 0.0;
  for (std::size_t w = 0; w < lineWindows; ++w) {
    const Window& window = m.windows[w];
    const double inWindow = counted.p[w];
    double peak0 = 0.0;
    for (int32_t k : window.lines) peak0 += rate0[static_cast<std::size_t>(k)];
    strongest = std::max(strongest, inWindow);
    for (int32_t k : window.lines) {
      const Line& l = m.lines[static_cast<std::size_t>(k)];
      LineResult r;
      r.kind = l.kind, r.label = l.label, r.upper = l.upper, r.lower = l.lower;
      r.energy = l.energy;
      r.emission = 100.0 * l.emission;
      r.rate0 = 100.0 * rate0[static_cast<std::size_t>(k)];
      const double share = window.lines.size() == 1 ? 1.0
                           : peak0 > 0.0 ? rate0[static_cast<std::size_t>(k)] / peak0
                                         : 1.0 / static_cast<double>(window.lines.size());
      r.rate = 100.0 * inWindow * share;
      r.factor = r.rate > 0.0 ? r.rate0 / r.rate : std::numeric_limits<double>::quiet_NaN();
      lines.push_back(std::move(r));
      lineWindow.push_back(static_cast<int32_t>(w));
    }
  }
  // What was left out lies below every count, by at most its sum; lines
  // too weak to be seen beside the strongest are not named.
  int32_t uncertain = 0;
  double below = 0.0;
  for (const LineResult& r : lines)
    if (r.rate > 0.0 && r.rate0 >= 100.0 * kVisible * strongest0 &&
        bounding.dropped > kReportedLoss * r.rate / 100.0)
      ++uncertain;
  if (uncertain > 0) {
    below = 100.0 * bounding.dropped / kReportedLoss;
    result.warnings.push_back("coincidence sums below " + text(kExactShare * strongest0) +
                              " per decay left out to bound the computation (" +
                              text(bounding.dropped) + " per decay in all): " +
                              std::to_string(uncertain) + (uncertain == 1 ? " line" : " lines") +
                              " below " + text(below) + " % may be counted low by more than " +
                              text(100.0 * kReportedLoss) + " %");
  }

  // The sum peaks holding enough, at the mean energy of their sums.
  for (std::size_t j = 0; j < peaks.size(); ++j) {
    const double p = counted.p[lineWindows + j];
    if (p < kSumPeakShare * strongest || p <= 0.0) continue;
    m.windows.push_back(peaks[j]);
    LineResult r;
    r.kind = LineKind::sum;
    r.energy = counted.pe[lineWindows + j] / p;
    r.rate = 100.0 * p;
    r.factor = 0.0;
    lines.push_back(std::move(r));
    lineWindow.push_back(static_cast<int32_t>(m.windows.size() - 1));
  }

  std::vector<std::size_t> index(lines.size());
  for (std::size_t k = 0; k < index.size(); ++k) index[k] = k;
  std::stable_sort(index.begin(), index.end(),
                   [&](std::size_t a, std::size_t b) { return lines[a].energy < lines[b].energy; });
  m.resultWindows.clear();
  for (std::size_t k : index) {
    result.lines.push_back(std::move(lines[k]));
    m.resultWindows.push_back(lineWindow[k]);
  }
  return result;
}

}  // namespace detail

Result compute(const DecayScheme& scheme, const SourceEfficiency& source, const Settings& settings) {
  detail::Prepared prepared = detail::prepare(scheme, settings);
  return detail::computePrepared(prepared, source);
}

}  // namespace tcsum::complete
