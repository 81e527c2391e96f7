#include "ensdf/convert.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>

#include "atomic/atomic.hpp"
#include "core/number_text.hpp"
#include "core/store.hpp"
#include "ensdf/build_scheme.hpp"

namespace tcsum::ensdf {

using atomic::atomicNumber;
using atomic::KShellData;
using atomic::kShellData;

namespace {

constexpr int kMaxLevels = kDataSetLevels;
constexpr int kMaxCaptureLevels = kCaptureDataSetLevels;

std::string num(double value) { return text::significant(value, 6); }

struct Node {
  double energy = 0.0;
  float energyOut = 0.0f;
  const LevelRecord* record = nullptr;
  double feed = 0.0;
  double pk = 0.0;
};

struct Edge {
  int upper = 0;
  int lower = 0;
  float energy = 0.0f;
  double intensity = 0.0;
  double alpha = 0.0;
  double alphak = 0.0;
  double flow() const { return intensity * (1.0 + alpha); }
};

// One part of the decay written as one data set.
struct Part {
  std::vector<int> nodes;    // scheme levels, the first is level 1
  std::vector<double> feed;  // per entry of nodes
  std::vector<double> pk;
  std::vector<Edge> edges;  // between positions in nodes
};

// Populations, top down: direct feeding plus what the transitions bring.
std::vector<double> populations(const std::vector<double>& feed, const std::vector<Edge>& edges) {
  std::vector<double> pop = feed;
  std::vector<std::vector<const Edge*>> from(feed.size());
  for (const Edge& e : edges)
    from[static_cast<std::size_t>(e.upper)].push_back(&e);
  for (std::size_t i = pop.size(); i-- > 0;)
    for (const Edge* e : from[i])
      pop[static_cast<std::size_t>(e->lower)] += e->flow();
  return pop;
}

class Converter {
 public:
  Converter(const DataSet& set, const Settings& settings) : set_(set), settings_(settings) {}

  Conversion run() {
    SchemeBuild build = buildScheme(set_, settings_);
    result_.levels = build.levels;
    result_.gammas = build.gammas;
    result_.warnings = std::move(build.warnings);
    if (build.refusal != RefusalKind::None) return refuse(build.refusal, std::move(build.reason));
    for (Warning& w : result_.warnings)
      if (w.kind == WarningKind::NoConversion && w.text.starts_with(kNoConversion))
        w.text = "no conversion coefficient, 0 written" + w.text.substr(kNoConversion.size());
    double positrons = 0.0;
    for (const SchemeLevel& l : build.scheme.levels)
      positrons += l.betaPlus;
    if (positrons > kBetaPlusShare && !settings_.allowBetaPlus) {
      std::erase_if(result_.warnings,
                    [](const Warning& w) { return w.kind == WarningKind::BetaPlus; });
      return refuse(RefusalKind::BetaPlus,
                    "positrons in " + num(positrons) +
                        " % of decays: the data file has no annihilation radiation, which sums "
                        "with the gamma rays; tcsum factors computes the decay with it "
                        "(--allow-beta-plus writes it without)");
    }
    if (std::string field = unusable(build.scheme); !field.empty())
      return refuse(RefusalKind::Value, std::move(field));
    mode_ = programMode(set_);
    capture_ = mode_ == "EC";
    parentLevel_ = build.parentLevel;
    nodesFrom(build.scheme);
    edgesFrom(build.scheme);
    split();
    return result_;
  }

 private:
  // The first value of SCHEME that the program refuses or cannot use, as a
  // reason; empty when there is none.
  static std::string unusable(const DecayScheme& scheme) {
    bool counted = scheme.transitions.empty();
    for (const SchemeTransition& t : scheme.transitions) {
      const std::string what = "the " + num(t.energy) + " keV gamma";
      if (!(t.alpha >= 0.0)) return "ALPHA (CC) " + num(t.alpha) + " of " + what + " is negative";
      if (!(t.alphaK >= 0.0))
        return "ALPHAK (KC) " + num(t.alphaK) + " of " + what + " is negative";
      if (!(t.gamma >= 0.0)) return "intensity " + num(t.gamma) + " % of " + what + " is negative";
      if (t.gamma > 0.0) counted = true;
    }
    if (!counted)
      return "every gamma intensity is 0 % of decays (NR or BR 0?): nothing would be counted";
    for (const SchemeLevel& l : scheme.levels) {
      const std::string what = "the " + num(l.energy) + " keV level";
      if (!(l.feeding >= 0.0))
        return "feeding " + num(l.feeding) + " % of " + what + " is negative";
      if (!(l.kCaptureFraction >= 0.0 && l.kCaptureFraction <= 1.0))
        return "CK " + num(l.kCaptureFraction) + " of " + what + " lies outside 0 ... 1";
    }
    return {};
  }

  Conversion refuse(RefusalKind kind, std::string reason) {
    result_.refusal = kind;
    result_.reason = std::move(reason);
    result_.sets.clear();
    return result_;
  }

  void warn(WarningKind kind, int line, std::string text) {
    result_.warnings.push_back({kind, line, std::move(text)});
  }

  void nodesFrom(const DecayScheme& scheme) {
    std::map<int, const LevelRecord*> records;
    for (const LevelRecord& l : set_.levels)
      records[l.line] = &l;
    for (const SchemeLevel& l : scheme.levels) {
      Node node;
      node.energy = l.energy;
      node.energyOut = static_cast<float>(l.energy);
      node.record = records.at(l.record);
      node.feed = l.feeding;
      node.pk = l.kCaptureFraction;
      nodes_.push_back(node);
    }
  }

  // Every placed gamma with photon intensity is a transition of its own, also
  // a second one between the same two levels (see splitByLine).
  void edgesFrom(const DecayScheme& scheme) {
    std::string twice;
    int twiceLine = 0;
    for (const SchemeTransition& t : scheme.transitions) {
      Edge e;
      e.upper = t.upper;
      e.lower = t.lower;
      e.energy = static_cast<float>(t.energy);
      e.intensity = t.gamma;
      e.alpha = t.alpha;
      e.alphak = t.alphaK;
      const bool same = std::any_of(edges_.begin(), edges_.end(), [&](const Edge& o) {
        return o.upper == e.upper && o.lower == e.lower;
      });
      if (same) {
        twice += (twice.empty() ? "" : ", ") + num(t.energy);
        if (twiceLine == 0) twiceLine = t.record;
      }
      edges_.push_back(e);
    }
    if (!twice.empty())
      warn(WarningKind::MergedGammas, twiceLine,
           "gammas between the same two levels as an earlier one (" + twice +
               " keV): the data file holds one transition per pair of levels, so each is "
               "written in a data set of its own with the cascades that pass through it; the "
               "two make one peak, whose factor is the sum of the intensities over the sum of "
               "intensity/factor");
  }

  // Splits the decay at every isomer that decays within the data set and
  // writes one data set per part. The part of an isomer's decay starts at the
  // isomer, fed with its whole population; the part above it keeps the levels
  // above the isomer and the isomer itself as a level without transitions.
  // A transition passing over the isomer stays on its own two levels: the
  // part above then also holds the levels below the isomer that it reaches,
  // each level emitting there with the share of its population that came
  // that way, so every cascade is counted in full and only within its part.
  void split() {
    const std::size_t n = nodes_.size();
    std::vector<double> feed(n);
    for (std::size_t i = 0; i < n; ++i)
      feed[i] = nodes_[i].feed;
    const std::vector<double> pop = populations(feed, edges_);
    std::vector<std::vector<const Edge*>> from(n);
    for (const Edge& e : edges_)
      from[static_cast<std::size_t>(e.upper)].push_back(&e);

    // A level whose gammas carry no photon intensity has no transition here:
    // lines into it end there, which needs no split.
    std::vector<int> bounds{0};
    std::vector<bool> isBreak(n, false);
    for (std::size_t i = 1; i < n; ++i) {
      if (static_cast<int>(i) == parentLevel_ || from[i].empty()) continue;
      const LevelRecord& r = *nodes_[i].record;
      const auto halfLife = parseDuration(r.halfLife);
      if (!halfLife || *halfLife < settings_.isomerThreshold) continue;
      bounds.push_back(static_cast<int>(i));
      isBreak[i] = true;
      warn(WarningKind::IsomerSplit, r.line,
           "the " + num(nodes_[i].energy) + " keV level (T1/2 " + r.halfLife +
               ") is an isomer: the decay is split there");
    }
    const int parts = static_cast<int>(bounds.size());

    // Per part, from the top: which levels it holds, which of them it feeds
    // (a level's direct feeding goes to the highest part that holds it) and
    // their population in it.
    const auto partCount = static_cast<std::size_t>(parts);
    std::vector<std::vector<bool>> member(partCount, std::vector<bool>(n, false));
    std::vector<std::vector<bool>> fedHere(partCount, std::vector<bool>(n, false));
    std::vector<std::vector<double>> partPop(partCount, std::vector<double>(n, 0.0));
    std::vector<std::vector<bool>> emitsHere(partCount, std::vector<bool>(n, false));
    std::vector<std::vector<bool>> reachedHere(partCount, std::vector<bool>(n, false));
    std::vector<bool> fed(n, false);
    std::vector<int> emitting(n, 0);  // parts in which a level's transitions are written
    auto topOf = [&](int k) {
      return k + 1 < parts ? bounds[static_cast<std::size_t>(k + 1)] : -1;
    };
    for (int k = parts - 1; k >= 0; --k) {
      const auto kk = static_cast<std::size_t>(k);
      auto& in = member[kk];
      auto& p = partPop[kk];
      const int bottom = bounds[kk];
      const int top = topOf(k);
      for (int i = bottom; i < (top < 0 ? static_cast<int>(n) : top); ++i)
        in[static_cast<std::size_t>(i)] = true;
      if (top >= 0) {
        in[static_cast<std::size_t>(top)] = true;
        p[static_cast<std::size_t>(top)] = pop[static_cast<std::size_t>(top)];
      }
      for (std::size_t i = n; i-- > 0;) {
        if (!in[i]) continue;
        const bool own = static_cast<int>(i) >= bottom && static_cast<int>(i) != top;
        // An isomer's own feeding stays in the part it starts.
        if (static_cast<int>(i) != top && !fed[i] && (own || !isBreak[i])) {
          fed[i] = true;
          fedHere[kk][i] = true;
          p[i] += feed[i];
        }
        const bool emits = !isBreak[i] || static_cast<int>(i) == top;
        // A level populated nowhere keeps its transitions in its own part.
        if (!emits || !(p[i] > 0.0 || (own && !(pop[i] > 0.0)))) continue;
        emitsHere[kk][i] = true;
        ++emitting[i];
        for (const Edge* e : from[i]) {
          const auto lower = static_cast<std::size_t>(e->lower);
          in[lower] = true;
          reachedHere[kk][lower] = true;
          p[lower] += pop[i] > 0.0 ? e->flow() * p[i] / pop[i] : e->flow();
        }
      }
    }

    std::vector<Part> out(partCount);
    for (std::size_t k = 0; k < partCount; ++k) {
      Part& part = out[k];
      std::vector<int> position(n, -1);
      for (std::size_t i = 0; i < n; ++i) {
        if (!member[k][i]) continue;
        // A level fed in a part above and neither reached nor decaying here.
        if (fed[i] && !fedHere[k][i] && !emitsHere[k][i] && !reachedHere[k][i] &&
            static_cast<int>(i) != topOf(static_cast<int>(k)))
          continue;
        position[i] = static_cast<int>(part.nodes.size());
        part.nodes.push_back(static_cast<int>(i));
        const bool top = static_cast<int>(i) == topOf(static_cast<int>(k));
        part.feed.push_back(fedHere[k][i] ? feed[i] : top ? pop[i] : 0.0);
        // The capture x-rays of a level belong to the part it is fed in.
        part.pk.push_back(fedHere[k][i] ? nodes_[i].pk : 0.0);
      }
      for (std::size_t i = 0; i < n; ++i) {
        if (!emitsHere[k][i]) continue;
        for (const Edge* e : from[i]) {
          Edge local = *e;
          local.upper = position[i];
          local.lower = position[static_cast<std::size_t>(e->lower)];
          if (emitting[i] > 1 && pop[i] > 0.0) local.intensity *= partPop[k][i] / pop[i];
          part.edges.push_back(local);
        }
      }
    }
    std::vector<std::string> over;
    int bypassLine = 0;
    for (std::size_t b = 1; b < bounds.size(); ++b) {
      const int isomer = bounds[b];
      for (const Edge& e : edges_)
        if (e.upper > isomer && e.lower < isomer) {
          over.push_back(num(static_cast<double>(e.energy)));
          if (bypassLine == 0) bypassLine = nodes_[static_cast<std::size_t>(isomer)].record->line;
        }
    }

    // Each part as one data set per end of its cascades; those with nothing
    // to count are not written.
    struct Piece {
      Part part;
      int k = 0;    // the part
      int end = 0;  // 0: the part's first data set; n: its n-th further one
    };
    std::vector<Piece> pieces;
    std::string ends;
    int endsLine = 0;
    for (int k = parts - 1; k >= 0; --k) {
      std::vector<Part> byEnd = splitByEnd(out[static_cast<std::size_t>(k)]);
      for (std::size_t t = 1; t < byEnd.size(); ++t) {
        const Node& end = nodes_[static_cast<std::size_t>(byEnd[t].nodes.front())];
        ends += (ends.empty() ? "" : ", ") + num(end.energy);
        if (endsLine == 0) endsLine = end.record->line;
      }
      int count = 0;
      for (const Part& byEndPart : byEnd) {
        for (Part& part : splitByLine(byEndPart)) {
          bool xrays = false;
          for (std::size_t i = 0; i < part.nodes.size(); ++i)
            if (capture_ && part.feed[i] * part.pk[i] > 0.0) xrays = true;
          if (!part.edges.empty() || xrays) pieces.push_back({std::move(part), k, count++});
        }
      }
    }
    if (pieces.empty())  // a decay with nothing to count still shows its levels
      pieces.push_back({std::move(out.front()), 0, 0});
    // Lines written in more than one data set, each with its share.
    std::vector<std::string> shared;
    {
      // A line by its scheme levels and energy: the data sets holding it.
      std::map<std::tuple<int, int, float>, int> sets;
      for (const Piece& piece : pieces)
        for (const Edge& e : piece.part.edges)
          ++sets[{piece.part.nodes[static_cast<std::size_t>(e.upper)],
                  piece.part.nodes[static_cast<std::size_t>(e.lower)], e.energy}];
      for (const Edge& e : edges_)
        if (sets[{e.upper, e.lower, e.energy}] > 1)
          shared.push_back(num(static_cast<double>(e.energy)));
    }
    const std::string sharedText =
        shared.empty() ? std::string()
                       : "; lines written in more than one data set, each with its share of the "
                         "emission (the factor of the peak is the sum of the intensities over "
                         "the sum of intensity/factor): " +
                             listed(shared) + " keV";
    if (!over.empty())
      warn(WarningKind::Bypass, bypassLine,
           "transitions passing over an isomer stay on their own levels (" + listed(over) +
               " keV): the part above the isomer holds the levels below it that they reach, and "
               "no coincidence across the isomer is counted" +
               (ends.empty() ? sharedText : std::string()));
    if (!ends.empty())
      warn(WarningKind::SeveralEnds, endsLine,
           "cascades end on the lowest level and on the " + ends +
               " keV level(s), without transitions here: the data file's cascade has one end, "
               "so each further end is written as a data set of its own (named /2, /3 ...) "
               "with the shares of the feedings and lines ending there" +
               sharedText);

    const std::string base = settings_.name.empty() ? parentName(set_) : settings_.name;
    const std::string daughter = nuclideName(set_.nucid);
    for (Piece& piece : pieces) {
      Part& part = piece.part;
      prune(part);
      OutSet o;
      o.name = piece.k == pieces.front().k
                   ? base
                   : daughter + "M" + (parts > 2 ? std::to_string(piece.k + 1) : std::string());
      if (piece.end > 0) {
        const std::string suffix = "/" + std::to_string(piece.end + 1);
        o.name = o.name.substr(0, 8 - suffix.size()) + suffix;
      }
      o.name = o.name.substr(0, 8);
      o.capture = capture_;
      o.mode = mode_;
      atomic(o);
      for (std::size_t i = 0; i < part.nodes.size(); ++i)
        o.levels.push_back({nodes_[static_cast<std::size_t>(part.nodes[i])].energyOut,
                            static_cast<float>(part.feed[i]), static_cast<float>(part.pk[i])});
      std::stable_sort(part.edges.begin(), part.edges.end(),
                       [](const Edge& a, const Edge& b) { return a.upper < b.upper; });
      for (const Edge& e : part.edges)
        o.transitions.push_back({e.upper + 1, e.lower + 1, e.energy,
                                 static_cast<float>(e.intensity), static_cast<float>(e.alpha),
                                 static_cast<float>(e.alphak)});
      if (!inRange(o)) {
        refuse(RefusalKind::Range, "a value beyond the range of the data file's numbers");
        return;
      }
      result_.sets.push_back(std::move(o));
    }
  }

  // A part with two transitions between the same two levels, as two parts:
  // the cascades through the weaker of them, and all others. Above its upper
  // level J each level is fed and each transition weighted with the share of
  // the cascades that take it (or do not); J itself emits only it (or all
  // but it); below its lower level each level emits with the share of its
  // population that came through it (or did not). Repeated until no pair
  // holds two.
  static std::vector<Part> splitByLine(const Part& part) {
    const std::size_t m = part.nodes.size();
    const Edge* weaker = nullptr;
    for (std::size_t a = 0; a < part.edges.size() && weaker == nullptr; ++a)
      for (std::size_t b = a + 1; b < part.edges.size(); ++b)
        if (part.edges[a].upper == part.edges[b].upper &&
            part.edges[a].lower == part.edges[b].lower) {
          weaker = part.edges[b].flow() < part.edges[a].flow() ? &part.edges[b] : &part.edges[a];
          break;
        }
    if (weaker == nullptr) return {part};
    if (!(weaker->flow() > 0.0)) {  // carries nothing: the program would take it as absent
      Part rest = part;
      rest.edges.erase(rest.edges.begin() + (weaker - part.edges.data()));
      return splitByLine(rest);
    }
    const auto j = static_cast<std::size_t>(weaker->upper);
    std::vector<double> outFlow(m, 0.0);
    for (const Edge& e : part.edges)
      outFlow[static_cast<std::size_t>(e.upper)] += e.flow();
    // through[i]: of the cascades from level i at or above J, the share that takes it.
    std::vector<double> through(m, 0.0);
    through[j] = weaker->flow() / outFlow[j];
    for (std::size_t i = j + 1; i < m; ++i)
      for (const Edge& e : part.edges)
        if (static_cast<std::size_t>(e.upper) == i && static_cast<std::size_t>(e.lower) >= j &&
            outFlow[i] > 0.0)
          through[i] += e.flow() / outFlow[i] * through[static_cast<std::size_t>(e.lower)];
    // Populations as the program forms them (per level normalised), and
    // below J the part of them that came through the weaker transition.
    std::vector<double> pop = part.feed;
    std::vector<double> after(m, 0.0);
    for (std::size_t i = m; i-- > 0;) {
      if (i == static_cast<std::size_t>(weaker->lower)) after[i] += pop[j] * through[j];
      for (const Edge& e : part.edges)
        if (static_cast<std::size_t>(e.upper) == i && outFlow[i] > 0.0) {
          pop[static_cast<std::size_t>(e.lower)] += e.flow() / outFlow[i] * pop[i];
          if (i < j) after[static_cast<std::size_t>(e.lower)] += e.flow() / outFlow[i] * after[i];
        }
    }
    std::vector<Part> both(2);
    for (int taken = 1; taken >= 0; --taken) {
      Part& p = both[static_cast<std::size_t>(taken)];
      auto share = [&](std::size_t i) {  // of level i's feeding and cascades in this part
        if (i >= j) return taken ? through[i] : 1.0 - through[i];
        const double s = pop[i] > 0.0 ? std::min(after[i] / pop[i], 1.0) : 0.0;
        return taken ? s : 1.0 - s;
      };
      std::vector<int> position(m, -1);
      for (std::size_t i = 0; i < m; ++i) {
        if (!(share(i) > 0.0) && !(i == 0)) continue;
        position[i] = static_cast<int>(p.nodes.size());
        p.nodes.push_back(part.nodes[i]);
        p.feed.push_back(i >= j || !taken ? part.feed[i] * (i >= j ? share(i) : 1.0) : 0.0);
        p.pk.push_back(part.pk[i]);
      }
      for (const Edge& e : part.edges) {
        const auto u = static_cast<std::size_t>(e.upper);
        const auto l = static_cast<std::size_t>(e.lower);
        if (position[u] < 0 || position[l] < 0) continue;
        if (u == j && ((&e == weaker) != (taken == 1))) continue;
        if (taken && u > j && l < j) continue;  // passes over J: not through it
        Edge local = e;
        local.upper = position[u];
        local.lower = position[l];
        // Above J a transition carries the share of its lower level; J's
        // own keep their intensity; below J the share of the upper level.
        if (u > j)
          local.intensity *= l >= j ? share(l) : 1.0;
        else if (u < j)
          local.intensity *= share(u);
        p.edges.push_back(local);
      }
    }
    std::vector<Part> parts;
    for (const Part& p : both)
      for (Part& q : splitByLine(p))
        parts.push_back(std::move(q));
    return parts;
  }

  // A part whose cascades end on more than its lowest level, as one part per
  // end: the data file's cascade computation knows one end, its level 1, and
  // would take a cascade into another level without transitions as detected.
  // The part of end T holds the levels from which T is reached, each fed with
  // the share of its feeding that ends in T, and each transition with the
  // share of its intensity that does; the shares of a line add up to the
  // whole, and each part's cascades are those of the whole ending in T.
  static std::vector<Part> splitByEnd(const Part& part) {
    const std::size_t m = part.nodes.size();
    std::vector<double> outFlow(m, 0.0);
    std::vector<bool> reached(m, false);
    for (const Edge& e : part.edges) {
      outFlow[static_cast<std::size_t>(e.upper)] += e.flow();
      reached[static_cast<std::size_t>(e.lower)] = true;
    }
    auto isEnd = [&](std::size_t i) { return !(outFlow[i] > 0.0); };
    std::vector<std::size_t> ends{0};
    for (std::size_t i = 1; i < m; ++i)
      if (isEnd(i) && reached[i]) ends.push_back(i);
    if (ends.size() == 1) return {part};
    std::vector<std::vector<const Edge*>> from(m);
    for (const Edge& e : part.edges)
      from[static_cast<std::size_t>(e.upper)].push_back(&e);
    // share[t][i]: of the cascades from level i, the share that ends in ends[t].
    std::vector<std::vector<double>> share(ends.size(), std::vector<double>(m, 0.0));
    std::vector<int> reachedEnds(m, 0);
    for (std::size_t i = 0; i < m; ++i) {
      for (std::size_t t = 0; t < ends.size(); ++t) {
        if (isEnd(i)) {
          share[t][i] = i == ends[t] ? 1.0 : 0.0;
          continue;
        }
        for (const Edge* e : from[i])
          share[t][i] += e->flow() / outFlow[i] * share[t][static_cast<std::size_t>(e->lower)];
      }
      for (std::size_t t = 0; t < ends.size(); ++t)
        reachedEnds[i] += share[t][i] > 0.0 ? 1 : 0;
    }
    std::vector<Part> parts;
    for (std::size_t t = 0; t < ends.size(); ++t) {
      Part p;
      std::vector<int> position(m, -1);
      for (std::size_t i = 0; i < m; ++i) {
        const bool alone = isEnd(i) && !reached[i] && i != 0;  // fed only: stays in the first
        const double s = alone                  ? (t == 0 ? 1.0 : 0.0)
                         : !(share[t][i] > 0.0) ? 0.0
                         : reachedEnds[i] == 1  ? 1.0
                                                : share[t][i];
        if (!(s > 0.0)) continue;
        position[i] = static_cast<int>(p.nodes.size());
        p.nodes.push_back(part.nodes[i]);
        p.feed.push_back(part.feed[i] * s);
        p.pk.push_back(part.pk[i]);
      }
      for (const Edge& e : part.edges) {
        const auto lower = static_cast<std::size_t>(e.lower);
        if (position[lower] < 0 || position[static_cast<std::size_t>(e.upper)] < 0) continue;
        Edge local = e;
        local.upper = position[static_cast<std::size_t>(e.upper)];
        local.lower = position[lower];
        if (reachedEnds[lower] > 1) local.intensity *= share[t][lower];
        p.edges.push_back(local);
      }
      parts.push_back(std::move(p));
    }
    return parts;
  }

  // Fits a part into the program's capacity: first levels neither fed nor
  // connected by a transition go, then the least populated with their
  // transitions.
  void prune(Part& part) {
    const std::size_t capacity = capture_ ? kMaxCaptureLevels : kMaxLevels;
    if (part.nodes.size() <= capacity) return;
    const std::size_t before = part.nodes.size();
    std::vector<bool> keep(part.nodes.size(), true);
    std::vector<bool> connected(part.nodes.size(), false);
    for (const Edge& e : part.edges) {
      connected[static_cast<std::size_t>(e.upper)] = true;
      connected[static_cast<std::size_t>(e.lower)] = true;
    }
    std::size_t count = part.nodes.size();
    for (std::size_t i = 1; i < part.nodes.size(); ++i)
      if (part.feed[i] == 0.0 && !connected[i]) {
        keep[i] = false;
        --count;
      }
    double droppedFeed = 0.0;
    double droppedLines = 0.0;
    std::vector<Edge> edges = part.edges;
    while (count > capacity) {
      const std::vector<double> pop = populations(part.feed, edges);
      std::size_t least = 0;
      for (std::size_t i = 1; i < part.nodes.size(); ++i)
        if (keep[i] && (least == 0 || pop[i] < pop[least])) least = i;
      keep[least] = false;
      --count;
      droppedFeed += part.feed[least];
      part.feed[least] = 0.0;
      std::erase_if(edges, [&](const Edge& e) {
        const bool gone = static_cast<std::size_t>(e.upper) == least ||
                          static_cast<std::size_t>(e.lower) == least;
        if (gone) droppedLines += e.intensity;
        return gone;
      });
    }
    // Renumber what is kept.
    std::vector<int> renumber(part.nodes.size(), -1);
    Part kept;
    for (std::size_t i = 0; i < part.nodes.size(); ++i) {
      if (!keep[i]) continue;
      renumber[i] = static_cast<int>(kept.nodes.size());
      kept.nodes.push_back(part.nodes[i]);
      kept.feed.push_back(part.feed[i]);
      kept.pk.push_back(part.pk[i]);
    }
    for (Edge e : edges) {
      e.upper = renumber[static_cast<std::size_t>(e.upper)];
      e.lower = renumber[static_cast<std::size_t>(e.lower)];
      kept.edges.push_back(e);
    }
    part = std::move(kept);
    warn(WarningKind::Pruned, set_.line,
         std::to_string(before - part.nodes.size()) + " of " + std::to_string(before) +
             " levels dropped to fit " + std::to_string(capacity) + ": direct feeding " +
             num(droppedFeed) + " % and gamma lines of " + num(droppedLines) +
             " % of decays dropped with them");
  }

  void atomic(OutSet& o) {
    if (!atomicDone_) {
      atomicDone_ = true;
      const std::string symbol(trim(std::string_view(set_.nucid).substr(3, 2)));
      const int z = atomicNumber(symbol);
      kShell_ = kShellData(z);
      if (!kShell_.energyKnown || !kShell_.yieldKnown)
        warn(WarningKind::AtomicData, set_.line,
             "no " +
                 std::string(!kShell_.energyKnown && !kShell_.yieldKnown ? "E(X) and OMEGAK"
                             : !kShell_.energyKnown                      ? "E(X)"
                                                                         : "OMEGAK") +
                 " for element " + (symbol.empty() ? std::string("?") : symbol) +
                 " in xraylib: 0 written");
    }
    o.ex = static_cast<float>(kShell_.energy);
    o.omegak = static_cast<float>(kShell_.yield);
  }

  static bool inRange(const OutSet& o) {
    auto ok = [](float v) { return std::isfinite(v); };
    if (!ok(o.ex) || !ok(o.omegak)) return false;
    for (const OutLevel& l : o.levels)
      if (!ok(l.energy) || !ok(l.feed) || !ok(l.pk)) return false;
    for (const OutTransition& t : o.transitions)
      if (!ok(t.energy) || !ok(t.intensity) || !ok(t.alpha) || !ok(t.alphak)) return false;
    return true;
  }

  const DataSet& set_;
  const Settings& settings_;
  Conversion result_;
  std::string mode_;
  bool capture_ = false;
  std::vector<Node> nodes_;
  std::vector<Edge> edges_;
  int parentLevel_ = -1;
  bool atomicDone_ = false;
  KShellData kShell_;
};

}  // namespace

const char* warningName(WarningKind kind) {
  switch (kind) {
    case WarningKind::Limit:
      return "limit taken as given";
    case WarningKind::BetaPlus:
      return "beta plus";
    case WarningKind::AtomicData:
      return "no atomic data";
    case WarningKind::NoCaptureShare:
      return "no CK";
    case WarningKind::NoConversion:
      return "no conversion coefficient";
    case WarningKind::SkippedGammas:
      return "gammas left out";
    case WarningKind::SharedIntensity:
      return "multiply placed, shared";
    case WarningKind::OffsetLevels:
      return "levels with unknown offset";
    case WarningKind::MergedGammas:
      return "gammas between the same levels";
    case WarningKind::SeveralParents:
      return "several P/N records";
    case WarningKind::IsomerSplit:
      return "split at isomer";
    case WarningKind::Bypass:
      return "transitions passing over an isomer";
    case WarningKind::Pruned:
      return "levels pruned";
    case WarningKind::SeveralEnds:
      return "one data set per end of the cascades";
    case WarningKind::Count:
      break;
  }
  return "?";
}

const char* refusalName(RefusalKind kind) {
  switch (kind) {
    case RefusalKind::None:
      return "converted";
    case RefusalKind::DecayMode:
      return "decay mode not modelled";
    case RefusalKind::Normalisation:
      return "no normalisation";
    case RefusalKind::NoLevels:
      return "no levels";
    case RefusalKind::ParentLevel:
      return "no parent level";
    case RefusalKind::Range:
      return "value out of range";
    case RefusalKind::BetaPlus:
      return "beta plus above 1 %";
    case RefusalKind::Value:
      return "value the run cannot use";
    case RefusalKind::Count:
      break;
  }
  return "?";
}

Conversion convert(const DataSet& set, const Settings& settings) {
  return Converter(set, settings).run();
}

}  // namespace tcsum::ensdf
