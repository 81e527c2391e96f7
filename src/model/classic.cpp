#include "model/classic.hpp"

#include <stdexcept>
#include <string>

#include "check/warnings.hpp"
#include "core/fatal.hpp"
#include "efficiency/eps.hpp"
#include "efficiency/table_efficiency.hpp"
#include "summing/summing.hpp"

namespace tcsum {

void takeHeader(const Store& s, DataSetResult& ds) {
  static_cast<DataSetHeader&>(ds) = s;
  ds.electronCapture = isElectronCapture(s);
}

void recordsOf(const Store& s, RecordsRead& out) {
  out.header = s.headerRecord;
  out.fault = nullptr;
  out.levelList.clear();
  out.transitionList.clear();
  for (int32_t i = 1; i <= s.NLEV + 1 && i <= kLevels; ++i)
    out.levelList.push_back({s.ELEV(i), s.FEED(i), s.PK(i)});
  // The stages read EGAM where XTR is set; ALPHA and ALPHAK enter the sums
  // of a level's transitions too.
  for (int32_t J = 1; J <= kLevels; ++J) {
    for (int32_t I = 1; I <= kLevels; ++I) {
      if (s.XTR(J, I) == 0.0f && s.ALPHA(J, I) == 0.0f && s.ALPHAK(J, I) == 0.0f) continue;
      out.transitionList.push_back({J, I, s.EGAM(J, I), s.XTR(J, I), s.ALPHA(J, I),
                                    s.ALPHAK(J, I), s.transitionRecord(J, I)});
    }
  }
}

namespace {

Store& storeOf(ModelWork& work) {
  return static_cast<ClassicWork&>(work).store();
}

const TableEfficiency& tableOf(const Efficiency& efficiency) {
  const auto* table = dynamic_cast<const TableEfficiency*>(&efficiency);
  if (!table)
    throw std::invalid_argument("the classic model computes with the data file's efficiency table");
  return *table;
}

double wide(float x) {
  return static_cast<double>(x);
}

// The lines of the results table in the model-neutral form: the gamma lines
// with the intensity of their transition, then the K x-ray line with the
// K x-rays emitted per 100 decays (from K conversion and K capture).
void neutralLines(const Store& s, DataSetResult& ds) {
  ds.lines.reserve(ds.gammas.size() + 1);
  std::size_t row = 0;
  for (const GammaLine& g : ds.gammas) {
    while (row < ds.transitions.size() &&
           (ds.transitions[row].upper != g.upper || ds.transitions[row].lower != g.lower))
      ++row;
    const double emission = row < ds.transitions.size() ? wide(ds.transitions[row].intensity) : 0.0;
    ds.lines.push_back({LineKind::gamma, {}, g.upper - 1, g.lower - 1, wide(g.energy), emission,
                        wide(g.RATE0), wide(g.RATE), wide(g.KORR)});
  }
  if (!ds.xray) return;
  double emission = 0.0;
  for (const TransitionResult& t : ds.transitions)
    emission += wide(t.intensity) * wide(t.ALPHAK) * wide(s.OMEGAK);
  if (isElectronCapture(s)) {
    for (int32_t J = 1; J <= s.NLEV; ++J)
      emission += wide(s.FEED(J)) * wide(s.PK(J)) * wide(s.OMEGAK);
  }
  const XrayLine& x = *ds.xray;
  ds.lines.push_back({LineKind::kxray, "K", -1, -1, wide(x.energy), emission, wide(x.RATE0),
                      wide(x.RATE), wide(x.KORR)});
}

}  // namespace

std::unique_ptr<ModelWork> ClassicModel::newWork() const {
  return std::make_unique<ClassicWork>();
}

void ClassicModel::header(ModelWork& work, const Efficiency& efficiency, int32_t headerRecord,
                          DataSetResult& ds) const {
  Store& s = storeOf(work);
  storeEfficiencyTable(tableOf(efficiency).table(), s);
  // The header as read into the store that computes it (the efficiencies
  // at E(X) follow).
  static_cast<DataSetHeader&>(s) = ds;
  s.headerRecord = headerRecord;
  s.EPSG = 0.0f;
  s.EPSTG = 0.0f;
  const Efficiencies x = efficienciesAt(s, s.EX);
  s.EPSTX = x.total;
  s.EPSX = x.peak;
  ds.EPSTX = x.total;
  ds.EPSX = x.peak;
}

void ClassicModel::levels(ModelWork& work, std::span<const LevelRecord> records,
                          DataSetResult& ds) const {
  Store& s = storeOf(work);
  clearDataSet(s);
  storeLevels(records, s);
  checkCaptureLevels(s);
  for (int32_t j = 1; j <= s.NLEV; ++j)
    ds.levels.push_back({j, s.ELEV(j), s.FEED(j), s.PK(j), 0.0f});
}

void ClassicModel::read(ModelWork& work, std::span<const TransitionRecord> records, bool checks,
                        DataSetResult& ds) const {
  Store& s = storeOf(work);
  storeTransitions(records, s);
  if (checks) checkDataSet(s, ds.warnings);
}

void ClassicModel::balance(ModelWork& work, bool checks, DataSetResult& ds) const {
  // Without checks (a recomputation) the findings are not wanted; BALANCE
  // changes no data.
  if (!checks) return;
  const Store& s = storeOf(work);
  BALANCE(s, ds.balance);
  if (checks) checkBalance(s, ds.balance, ds.warnings);
}

void ClassicModel::transitions(ModelWork& work, const Efficiency&, DataSetResult& ds) const {
  auto& w = static_cast<ClassicWork&>(work);
  Store& s = w.store();
  const TransitionStencils* stencils = w.stencils;
  if (!stencils && w.sameEnergies) {
    if (!w.kept) w.kept.emplace(s);
    stencils = &*w.kept;
  } else if (!w.sameEnergies) {
    w.kept.reset();
  }
  TRANSITIONS(s, ds.transitions, stencils);
}

void ClassicModel::results(ModelWork& work, const Efficiency&, DataSetResult& ds) const {
  Store& s = storeOf(work);
  CASCADE(s);
  LINERATES(s);
  for (LevelResult& l : ds.levels)
    l.population = s.POP(l.number);
  CORRECT(s, ds.gammas, ds.xray);
  neutralLines(s, ds);
}

}  // namespace tcsum
