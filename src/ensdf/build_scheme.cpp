#include "ensdf/build_scheme.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "atomic/atomic.hpp"
#include "core/number_text.hpp"
#include "ensdf/number.hpp"

namespace tcsum::ensdf {

namespace {

constexpr double kPlacementTolerance = 1.0;  // keV, the least

std::string num(double value) { return text::significant(value, 6); }

struct Node {
  double energy = 0.0;
  const LevelRecord* record = nullptr;
  double feed = 0.0;
  double betaPlus = 0.0;
  double pk = 0.0;
  std::optional<double> cl;
  bool capture = false;  // fed by electron capture
  bool hasCk = false;
};

class SchemeBuilder {
 public:
  SchemeBuilder(const DataSet& set, const Settings& settings) : set_(set), settings_(settings) {}

  SchemeBuild run() {
    for (const LevelRecord& l : set_.levels)
      result_.gammas += static_cast<int>(l.gammas.size());
    result_.gammas += static_cast<int>(set_.unplaced.size());
    result_.levels = static_cast<int>(set_.levels.size());
    const std::string mode = programMode(set_);
    if (mode.empty()) {
      refuse(RefusalKind::DecayMode, "decay mode " +
                                         (set_.decayToken().empty() ? "?" : set_.decayToken()) +
                                         " is not modelled");
      return std::move(result_);
    }
    capture_ = mode == "EC";
    if (!normalise()) return std::move(result_);
    if (!levels()) return std::move(result_);
    feedings();
    if (mode == "IT" && !parentLevel()) return std::move(result_);
    gammas();
    fill();
    return std::move(result_);
  }

 private:
  void refuse(RefusalKind kind, std::string reason) {
    result_.refusal = kind;
    result_.reason = std::move(reason);
  }

  void warn(WarningKind kind, int line, std::string text) {
    result_.warnings.push_back({kind, line, std::move(text)});
  }

  void limit(const Quantity& q, int line, const std::string& what) {
    if (q.numeric && q.limit != Limit::None)
      warn(WarningKind::Limit, line,
           what + " " + q.text + " " + limitName(q.limit) + " taken as given");
  }

  bool normalise() {
    if (set_.parents.size() > 1 || set_.norms.size() > 1 || set_.productionNorms.size() > 1)
      warn(WarningKind::SeveralParents, set_.line,
           "several parent or normalisation records: the first of each is used");
    if (set_.norms.empty() && set_.productionNorms.empty()) {
      refuse(RefusalKind::Normalisation, "no normalisation record (N or PN)");
      return false;
    }
    const NormRecord* n = set_.norms.empty() ? nullptr : &set_.norms.front();
    const ProductionNormRecord* pn =
        set_.productionNorms.empty() ? nullptr : &set_.productionNorms.front();
    if (n != nullptr) {
      limit(n->nr, n->line, "NR");
      limit(n->br, n->line, "BR");
      limit(n->nb, n->line, "NB");
      if (n->br.numeric) br_ = n->br.value;
    }
    const double nb = n != nullptr && n->nb.numeric ? n->nb.value : 1.0;
    if (pn != nullptr && pn->nrbr.numeric) {
      nrbr_ = pn->nrbr.value;
      limit(pn->nrbr, pn->line, "NR x BR");
    } else if (n != nullptr && n->nr.numeric) {
      nrbr_ = n->nr.value * br_;
    }
    if (pn != nullptr && pn->nbbr.numeric) {
      nbbr_ = pn->nbbr.value;
      limit(pn->nbbr, pn->line, "NB x BR");
    } else {
      nbbr_ = nb * br_;
    }
    if (std::isnan(nrbr_)) {
      for (const LevelRecord& l : set_.levels)
        for (const GammaRecord& g : l.gammas)
          if (g.ri.numeric) {
            refuse(RefusalKind::Normalisation,
                   "blank NR while placed gammas carry relative intensities (line " +
                       std::to_string(g.line) + ")");
            return false;
          }
    }
    return true;
  }

  bool levels() {
    std::vector<const LevelRecord*> kept;
    int offsetLevels = 0;
    int offsetGammas = 0;
    int firstOffset = 0;
    for (const LevelRecord& l : set_.levels) {
      if (l.energy.numeric) {
        kept.push_back(&l);
        continue;
      }
      ++offsetLevels;
      offsetGammas += static_cast<int>(l.gammas.size());
      if (firstOffset == 0) firstOffset = l.line;
    }
    std::stable_sort(kept.begin(), kept.end(), [](const LevelRecord* a, const LevelRecord* b) {
      return a->energy.value < b->energy.value;
    });
    for (const LevelRecord* l : kept) {
      Node node;
      node.energy = l->energy.value;
      node.record = l;
      // A later level that would read as energy 0 would end the level list.
      if (!nodes_.empty() && !(static_cast<float>(node.energy) > 0.0f)) {
        ++offsetLevels;
        offsetGammas += static_cast<int>(l->gammas.size());
        if (firstOffset == 0) firstOffset = l->line;
        continue;
      }
      nodes_.push_back(node);
    }
    if (offsetLevels > 0)
      warn(WarningKind::OffsetLevels, firstOffset,
           std::to_string(offsetLevels) +
               " levels without an absolute energy (unknown offset) dropped with their " +
               std::to_string(offsetGammas) + " gammas");
    if (nodes_.empty()) {
      refuse(RefusalKind::NoLevels, "no level with a known energy");
      return false;
    }
    return true;
  }

  void feedings() {
    double betaPlus = 0.0;
    int betaPlusLine = 0;
    for (Node& node : nodes_) {
      for (const FeedRecord& f : node.record->feeds) {
        const std::string at = " of the " + num(node.energy) + " keV level";
        if (f.type == 'B') {
          limit(f.ib, f.line, "IB" + at);
          if (f.ib.numeric) node.feed += f.ib.value * nbbr_;
        } else if (f.type == 'E') {
          limit(f.ib, f.line, "IB" + at);
          limit(f.ie, f.line, "IE" + at);
          if (f.ib.numeric || f.ie.numeric) {
            const double ib = f.ib.numeric ? f.ib.value : 0.0;
            const double ie = f.ie.numeric ? f.ie.value : 0.0;
            node.feed += (ib + ie) * nbbr_;
            if (ie > 0.0) node.capture = true;
            node.betaPlus += ib * nbbr_;
            if (ib > 0.0) {
              betaPlus += ib * nbbr_;
              if (betaPlusLine == 0) betaPlusLine = f.line;
            }
          } else if (f.ti.numeric) {
            limit(f.ti, f.line, "TI" + at);
            node.feed += f.ti.value * nbbr_;
            if (f.ti.value > 0.0) node.capture = true;
          }
          if (const Item* ck = f.item("CK"); ck != nullptr && ck->value.numeric && !node.hasCk) {
            limit(ck->value, f.line, "CK" + at);
            node.pk = ck->value.value;
            node.hasCk = true;
          }
          if (const Item* cl = f.item("CL"); cl != nullptr && cl->value.numeric && !node.cl)
            node.cl = cl->value.value;
        } else if (f.type == 'A') {
          limit(f.ia, f.line, "IA" + at);
          if (f.ia.numeric) node.feed += f.ia.value * br_;
        }
      }
    }
    if (capture_ && (betaPlus > 0.0 || set_.decayToken() == "B+"))
      warn(WarningKind::BetaPlus, betaPlusLine == 0 ? set_.line : betaPlusLine,
           "beta-plus feeding " + num(betaPlus) + " %: annihilation radiation is not modelled");
    if (!capture_) {
      for (Node& node : nodes_)
        node.pk = 0.0;
      return;
    }
    for (Node& node : nodes_) {
      if (!node.capture || node.hasCk) continue;
      // The K-capture share of the nearest level with one, else none.
      const Node* nearest = nullptr;
      for (const Node& other : nodes_)
        if (other.hasCk && (nearest == nullptr || std::fabs(other.energy - node.energy) <
                                                      std::fabs(nearest->energy - node.energy)))
          nearest = &other;
      node.pk = nearest != nullptr ? nearest->pk : 0.0;
      warn(WarningKind::NoCaptureShare, node.record->line,
           "no CK for the " + num(node.energy) + " keV level fed by electron capture: PK " +
               num(node.pk) +
               (nearest != nullptr ? " written (that of the " + num(nearest->energy) + " keV level)"
                                   : " written"));
    }
  }

  // The level nearest to ENERGY within TOLERANCE; -1 when none.
  int nearestLevel(double energy, double tolerance) const {
    int best = -1;
    for (std::size_t i = 0; i < nodes_.size(); ++i)
      if (best < 0 || std::fabs(nodes_[i].energy - energy) <
                          std::fabs(nodes_[static_cast<std::size_t>(best)].energy - energy))
        best = static_cast<int>(i);
    if (best >= 0 && std::fabs(nodes_[static_cast<std::size_t>(best)].energy - energy) > tolerance)
      return -1;
    return best;
  }

  bool parentLevel() {
    if (set_.parents.empty() || !set_.parents.front().energy.numeric) {
      refuse(RefusalKind::ParentLevel,
             set_.parents.empty()
                 ? "no parent record"
                 : "parent level energy " + set_.parents.front().energy.text + " is not known");
      return false;
    }
    const Quantity& e = set_.parents.front().energy;
    const int level = nearestLevel(e.value, std::max(kPlacementTolerance, 2.0 * e.uncertainty));
    if (level < 0) {
      refuse(RefusalKind::ParentLevel, "no level at the parent's energy " + e.text + " keV");
      return false;
    }
    result_.parentLevel = level;
    nodes_[static_cast<std::size_t>(level)].feed += 100.0 * br_;
    return true;
  }

  void gammas() {
    // Multiply placed gammas with an undivided intensity, by energy as written.
    std::map<std::string, int> placements;
    for (const Node& node : nodes_)
      for (const GammaRecord& g : node.record->gammas)
        if (g.flag == '&' || g.flag == '*') ++placements[g.energy.text];

    int unplaced = 0, noLower = 0, noIntensity = 0;
    double skipped = 0.0;
    int firstSkipped = 0;
    auto skip = [&](const GammaRecord& g, int& counter) {
      ++counter;
      if (g.ri.numeric && !std::isnan(nrbr_)) skipped += g.ri.value * nrbr_;
      if (firstSkipped == 0) firstSkipped = g.line;
    };
    for (const GammaRecord& g : set_.unplaced)
      skip(g, unplaced);

    std::vector<std::string> shared, missingAlpha, missingAlphaK;
    int sharedLine = 0, missingLine = 0;
    for (std::size_t u = 0; u < nodes_.size(); ++u) {
      for (const GammaRecord& g : nodes_[u].record->gammas) {
        if (!g.ri.numeric) {
          skip(g, noIntensity);
          continue;
        }
        if (!g.energy.numeric) {
          skip(g, noLower);
          continue;
        }
        const double tolerance = std::max(kPlacementTolerance, 2.0 * g.energy.uncertainty);
        int lower = -1;
        if (const Item* fl = g.item("FL"); fl != nullptr) {
          if (fl->value.numeric) lower = nearestLevel(fl->value.value, tolerance);
        } else {
          lower = nearestLevel(nodes_[u].energy - g.energy.value, tolerance);
        }
        if (lower < 0 || static_cast<std::size_t>(lower) >= u) {
          skip(g, noLower);
          continue;
        }
        const std::string what = " of the " + g.energy.text + " keV gamma";
        limit(g.ri, g.line, "RI" + what);
        SchemeTransition e;
        e.upper = static_cast<int>(u);
        e.lower = lower;
        e.energy = g.energy.value;
        e.gamma = g.ri.value * nrbr_;
        e.record = g.line;
        if (g.flag == '&' || g.flag == '*') {
          const int n = placements[g.energy.text];
          if (n > 1) {
            e.gamma /= n;
            shared.push_back(g.energy.text + " (" + std::to_string(n) + ")");
            if (sharedLine == 0) sharedLine = g.line;
          }
        }
        const Item* cc = g.item("CC");
        const Item* ecc = g.item("ECC");
        const Quantity* alpha = g.cc.numeric                           ? &g.cc
                                : cc != nullptr && cc->value.numeric   ? &cc->value
                                : ecc != nullptr && ecc->value.numeric ? &ecc->value
                                                                       : nullptr;
        if (alpha != nullptr) {
          limit(*alpha, g.line, "ALPHA" + what);
          e.alpha = alpha->value;
        } else {
          missingAlpha.push_back(g.energy.text);
          if (missingLine == 0) missingLine = g.line;
        }
        const Item* kc = g.item("KC");
        const Item* ekc = g.item("EKC");
        const Item* kt = g.item("K/T");
        if (kc != nullptr && kc->value.numeric) {
          limit(kc->value, g.line, "ALPHAK" + what);
          e.alphaK = kc->value.value;
        } else if (ekc != nullptr && ekc->value.numeric) {
          limit(ekc->value, g.line, "ALPHAK" + what);
          e.alphaK = ekc->value.value;
        } else if (kt != nullptr && kt->value.numeric) {
          limit(kt->value, g.line, "K/T" + what);
          e.alphaK = kt->value.value * (1.0 + e.alpha);
        } else {
          missingAlphaK.push_back(g.energy.text);
          if (missingLine == 0) missingLine = g.line;
        }
        if (const Item* lc = g.item("LC"); lc != nullptr && lc->value.numeric)
          e.alphaL = lc->value.value;
        else if (const Item* elc = g.item("ELC"); elc != nullptr && elc->value.numeric)
          e.alphaL = elc->value.value;
        edges_.push_back(e);
      }
    }
    const int left = unplaced + noLower + noIntensity;
    if (left > 0)
      warn(WarningKind::SkippedGammas, firstSkipped,
           std::to_string(left) + " gammas left out (" + std::to_string(unplaced) + " unplaced, " +
               std::to_string(noLower) + " without a lower level, " + std::to_string(noIntensity) +
               " without photon intensity), summed intensity " + num(skipped) + " %");
    if (!shared.empty())
      warn(WarningKind::SharedIntensity, sharedLine,
           "multiply placed gammas with undivided intensity shared equally between their "
           "placements: " +
               listed(shared));
    if (!missingAlpha.empty() || !missingAlphaK.empty())
      warn(WarningKind::NoConversion, missingLine,
           std::string(kNoConversion) + ": ALPHA for " +
               (missingAlpha.empty() ? std::string("none") : listed(missingAlpha)) + "; ALPHAK for " +
               (missingAlphaK.empty() ? std::string("none") : listed(missingAlphaK)) + " keV");
  }

  void fill() {
    DecayScheme& s = result_.scheme;
    s.name = settings_.name.empty() ? parentName(set_) : settings_.name;
    s.parent = parentName(set_);
    s.dsid = set_.dsid;
    s.decayMode = set_.decayToken();
    s.electronCapture = capture_;
    const std::string_view nucid = set_.nucid;
    const std::string symbol(nucid.size() > 3 ? trim(nucid.substr(3, 2)) : std::string_view());
    s.daughterZ = atomic::atomicNumber(symbol);
    s.source = set_.file;
    s.record = set_.line;
    for (const Node& node : nodes_) {
      SchemeLevel l;
      l.energy = node.energy;
      l.feeding = node.feed;
      l.kCaptureFraction = node.pk;
      if (capture_) l.lCaptureFraction = node.cl;
      l.betaPlus = node.betaPlus;
      l.halfLife = parseDuration(node.record->halfLife);
      l.record = node.record->line;
      s.levels.push_back(l);
    }
    s.transitions = std::move(edges_);
  }

  const DataSet& set_;
  const Settings& settings_;
  SchemeBuild result_;
  bool capture_ = false;
  double br_ = 1.0;
  double nrbr_ = std::numeric_limits<double>::quiet_NaN();
  double nbbr_ = 1.0;
  std::vector<Node> nodes_;
  std::vector<SchemeTransition> edges_;
};

}  // namespace

SchemeBuild buildScheme(const DataSet& set, const Settings& settings) {
  return SchemeBuilder(set, settings).run();
}

std::string nuclideName(std::string_view nucid) {
  std::string mass;
  std::string element;
  for (char c : nucid) {
    if (c >= '0' && c <= '9')
      mass += c;
    else if (c != ' ')
      element += c;
  }
  return element + "-" + mass;
}

std::string parentName(const DataSet& set) {
  std::string nucid;
  bool isomer = false;
  if (!set.parents.empty()) {
    nucid = set.parents.front().nucid;
    const Quantity& e = set.parents.front().energy;
    isomer = !(e.numeric && e.value == 0.0) && e.given;
  } else {
    const std::string_view dsid = set.dsid;
    nucid = std::string(dsid.substr(0, dsid.find(' ')));
  }
  return nuclideName(nucid) + (isomer ? "M" : "");
}

std::string programMode(const DataSet& set) {
  const std::string token = set.decayToken();
  if (token == "EC" || token == "B+") return "EC";
  if (token == "B-" || token == "IT" || token == "A") return token;
  return {};
}

}  // namespace tcsum::ensdf
