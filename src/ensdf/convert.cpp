#include "ensdf/convert.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>

#include "atomic/atomic.hpp"
#include "core/store.hpp"
#include "ensdf/scheme.hpp"

namespace tcsum::ensdf {

using atomic::atomicNumber;
using atomic::KShellData;
using atomic::kShellData;

namespace {

constexpr int kMaxLevels = kDataSetLevels;
constexpr int kMaxCaptureLevels = kCaptureDataSetLevels;

std::string num(double value) {
  char buffer[32];
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  return std::string(buffer, r.ptr);
}

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
    mode_ = programMode(set_);
    capture_ = mode_ == "EC";
    parentLevel_ = build.parentLevel;
    nodesFrom(build.scheme);
    edgesFrom(build.scheme);
    split();
    return result_;
  }

 private:
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

  // The data file holds one transition between two levels: a second gamma
  // between the same levels adds its intensity to the first.
  void edgesFrom(const DecayScheme& scheme) {
    std::map<int, const GammaRecord*> records;
    for (const LevelRecord& l : set_.levels)
      for (const GammaRecord& g : l.gammas)
        records[g.line] = &g;
    std::string merged;
    int mergedLine = 0;
    for (const SchemeTransition& t : scheme.transitions) {
      Edge e;
      e.upper = t.upper;
      e.lower = t.lower;
      e.energy = static_cast<float>(t.energy);
      e.intensity = t.gamma;
      e.alpha = t.alpha;
      e.alphak = t.alphaK;
      auto same = std::find_if(edges_.begin(), edges_.end(), [&](const Edge& o) {
        return o.upper == e.upper && o.lower == e.lower;
      });
      if (same != edges_.end()) {
        same->intensity += e.intensity;
        merged += (merged.empty() ? "" : ", ") + records.at(t.record)->energy.text;
        if (mergedLine == 0) mergedLine = t.record;
        continue;
      }
      edges_.push_back(e);
    }
    if (!merged.empty())
      warn(WarningKind::MergedGammas, mergedLine,
           "gammas between the same two levels as an earlier one, intensity added to it: " +
               merged + " keV");
  }

  // Splits the decay at every level that breaks the prompt cascade and writes
  // one data set per part.
  void split() {
    const std::size_t n = nodes_.size();
    std::vector<double> feed(n);
    for (std::size_t i = 0; i < n; ++i)
      feed[i] = nodes_[i].feed;
    const std::vector<double> pop = populations(feed, edges_);
    std::vector<bool> hasOut(n, false);
    std::vector<bool> hasIn(n, false);
    for (const Edge& e : edges_) {
      hasOut[static_cast<std::size_t>(e.upper)] = true;
      hasIn[static_cast<std::size_t>(e.lower)] = true;
    }

    std::vector<int> bounds{0};
    for (std::size_t i = 1; i < n; ++i) {
      if (static_cast<int>(i) == parentLevel_) continue;
      const LevelRecord& r = *nodes_[i].record;
      const auto halfLife = parseDuration(r.halfLife);
      const bool isomer = halfLife && *halfLife >= settings_.isomerThreshold;
      // Lines into a level without transitions would count for nothing.
      const bool sink = hasIn[i] && !hasOut[i];
      if (!isomer && !sink) continue;
      bounds.push_back(static_cast<int>(i));
      warn(WarningKind::IsomerSplit, r.line,
           isomer ? "the " + num(nodes_[i].energy) + " keV level (T1/2 " + r.halfLife +
                        ") is an isomer: the decay is split there"
                  : "the " + num(nodes_[i].energy) +
                        " keV level is reached by transitions but has none itself: the decay "
                        "is split there");
    }
    const int parts = static_cast<int>(bounds.size());
    // The part whose cascades a level's transitions belong to.
    auto partOfUpper = [&](int level) {
      int k = 0;
      while (k + 1 < parts && bounds[static_cast<std::size_t>(k + 1)] < level)
        ++k;
      return k;
    };
    std::vector<Part> out(static_cast<std::size_t>(parts));
    std::vector<int> position(n, -1);
    std::vector<int> positionPart(n, -1);
    for (int k = 0; k < parts; ++k) {
      Part& part = out[static_cast<std::size_t>(k)];
      const int bottom = bounds[static_cast<std::size_t>(k)];
      const int top = k + 1 < parts ? bounds[static_cast<std::size_t>(k + 1)] : static_cast<int>(n);
      for (int i = bottom; i < top; ++i) {
        position[static_cast<std::size_t>(i)] = static_cast<int>(part.nodes.size());
        positionPart[static_cast<std::size_t>(i)] = k;
        part.nodes.push_back(i);
        part.feed.push_back(feed[static_cast<std::size_t>(i)]);
        part.pk.push_back(nodes_[static_cast<std::size_t>(i)].pk);
      }
    }
    // A break level ends the part below it, fed with its whole population and
    // no capture x-rays (those belong to the part it starts).
    std::vector<int> topPosition(static_cast<std::size_t>(parts), -1);
    for (int k = 0; k + 1 < parts; ++k) {
      const int top = bounds[static_cast<std::size_t>(k + 1)];
      if (!hasOut[static_cast<std::size_t>(top)]) continue;
      Part& part = out[static_cast<std::size_t>(k)];
      topPosition[static_cast<std::size_t>(k)] = static_cast<int>(part.nodes.size());
      part.nodes.push_back(top);
      part.feed.push_back(pop[static_cast<std::size_t>(top)]);
      part.pk.push_back(0.0);
    }
    std::string bypass, merged;
    int bypassLine = 0, mergedLine = 0;
    std::vector<double> added(n, 0.0);  // flow into a level from above an isomer
    for (const Edge& e : edges_) {
      const bool isBreak = std::find(bounds.begin() + 1, bounds.end(), e.upper) != bounds.end();
      const int k =
          isBreak ? positionPart[static_cast<std::size_t>(e.upper)] - 1 : partOfUpper(e.upper);
      Part& part = out[static_cast<std::size_t>(k)];
      Edge local = e;
      local.upper = isBreak ? topPosition[static_cast<std::size_t>(k)]
                            : position[static_cast<std::size_t>(e.upper)];
      if (e.lower >= bounds[static_cast<std::size_t>(k)]) {
        local.lower = position[static_cast<std::size_t>(e.lower)];
      } else {
        // Passes over the isomer: it ends on level 1 of this part, and its
        // flow feeds its real lower level in the part below.
        local.lower = 0;
        bypass += (bypass.empty() ? "" : ", ") + num(static_cast<double>(e.energy));
        if (bypassLine == 0) bypassLine = nodes_[static_cast<std::size_t>(e.upper)].record->line;
        const bool lowerIsBreak =
            std::find(bounds.begin() + 1, bounds.end(), e.lower) != bounds.end();
        if (!lowerIsBreak && e.lower != 0) added[static_cast<std::size_t>(e.lower)] += e.flow();
      }
      // Ending on level 1, it may meet a transition already there: the data
      // file holds one per pair, so the weaker is added to the stronger.
      auto same = std::find_if(part.edges.begin(), part.edges.end(), [&](const Edge& o) {
        return o.upper == local.upper && o.lower == local.lower;
      });
      if (same == part.edges.end()) {
        part.edges.push_back(local);
        continue;
      }
      merged += (merged.empty() ? "" : ", ") +
                num(static_cast<double>(std::min(same->energy, local.energy)));
      if (mergedLine == 0) mergedLine = nodes_[static_cast<std::size_t>(e.upper)].record->line;
      const double sum = same->intensity + local.intensity;
      if (local.intensity > same->intensity) *same = local;
      same->intensity = sum;
    }
    if (!merged.empty())
      warn(WarningKind::MergedGammas, mergedLine,
           "transitions ending on the same level of a part, the weaker added to the stronger: " +
               merged + " keV");
    if (!bypass.empty())
      warn(WarningKind::Bypass, bypassLine,
           "transitions passing over an isomer end on the isomer in the part above it and feed "
           "their lower level in the part below: " +
               bypass + " keV");
    for (std::size_t i = 0; i < n; ++i) {
      if (added[i] == 0.0) continue;
      Part& part = out[static_cast<std::size_t>(positionPart[i])];
      const auto p = static_cast<std::size_t>(position[i]);
      const double whole = part.feed[p] + added[i];
      part.pk[p] = whole > 0.0 ? part.pk[p] * part.feed[p] / whole : 0.0;
      part.feed[p] = whole;
    }

    // Parts with nothing to count are not written.
    std::vector<int> written;
    for (int k = parts - 1; k >= 0; --k) {
      const Part& part = out[static_cast<std::size_t>(k)];
      bool xrays = false;
      for (std::size_t i = 0; i < part.nodes.size(); ++i)
        if (capture_ && part.feed[i] * part.pk[i] > 0.0) xrays = true;
      if (!part.edges.empty() || xrays) written.push_back(k);
    }
    if (written.empty())
      written.push_back(0);  // a decay with nothing to count still shows its levels

    const std::string base = settings_.name.empty() ? parentName(set_) : settings_.name;
    const std::string daughter = nuclideName(set_.nucid);
    for (int k : written) {
      Part& part = out[static_cast<std::size_t>(k)];
      prune(part);
      OutSet o;
      if (k == written.front()) {
        o.name = base;
      } else {
        o.name = daughter + "M" + (parts > 2 ? std::to_string(k + 1) : std::string());
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
      return "gammas merged";
    case WarningKind::SeveralParents:
      return "several P/N records";
    case WarningKind::IsomerSplit:
      return "split at isomer or dead end";
    case WarningKind::Bypass:
      return "transitions passing over an isomer";
    case WarningKind::Pruned:
      return "levels pruned";
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
    case RefusalKind::Count:
      break;
  }
  return "?";
}

Conversion convert(const DataSet& set, const Settings& settings) {
  return Converter(set, settings).run();
}

}  // namespace tcsum::ensdf
