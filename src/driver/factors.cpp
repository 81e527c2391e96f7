// `tcsum factors`: the complete model's command with the program's readers,
// its model and the classic model for the comparison. Apart from
// program.cpp, whose result model names its own x-ray line.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <set>
#include <utility>

#include "driver/factors_command.hpp"
#include "driver/factors.hpp"
#include "driver/classic_factors.hpp"
#include "efficiency/loglog_table.hpp"
#include "ensdf/writer.hpp"

namespace tcsum {

int runFactorsCommand(int argc, char** argv);  // declared in driver/program.hpp

namespace {

std::string numberText(double value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// The efficiency block of the classic run: a table's own points where it
// has at most the 29 the data file holds, else the efficiency sampled at 20
// energies evenly in log energy across the photons.
bool efficiencyBlock(const Efficiency& efficiency, const complete::Result& result,
                     std::string& block, std::string& note) {
  std::vector<std::pair<double, EfficiencyPair>> points;
  const auto* table = dynamic_cast<const efficiency::LogLogTable*>(&efficiency);
  if (table && table->table().size() <= 29) {
    for (const efficiency::TablePoint& p : table->table())
      points.push_back({p.energy, {p.total, p.peak}});
  } else {
    double low = INFINITY, high = 0.0;
    for (const complete::Photon& p : result.photons) {
      low = std::min(low, p.energy);
      high = std::max(high, p.energy);
    }
    if (!(high > 0.0)) {
      note = "no photons";
      return false;
    }
    low = std::max(1.0, 0.9 * low);
    high = std::max(1.1 * high, 2.0 * low);
    for (int k = 0; k < 20; ++k) {
      const double e = low * std::pow(high / low, k / 19.0);
      points.push_back({e, efficiency.at(e)});
    }
  }
  std::string csv;
  for (const auto& [e, eff] : points)
    csv += numberText(e) + "," + numberText(eff.total) + "," + numberText(eff.peak) + "\n";
  std::string error;
  if (!ensdf::efficiencyFromCsv(csv, 0, "complete model comparison", block, error)) {
    note = "its efficiencies do not fit the data file: " + error;
    return false;
  }
  return true;
}

// The scheme as a data set of the data file, or a note why it does not fit.
bool dataSetOf(const DecayScheme& s, std::string& text, std::string& note) {
  const std::size_t capacity = s.electronCapture ? 30 : 32;
  if (s.levels.size() > capacity) {
    note = std::to_string(s.levels.size()) + " levels, more than the " + std::to_string(capacity) +
           " of a data set";
    return false;
  }
  std::set<std::pair<int32_t, int32_t>> pairs;
  for (const SchemeTransition& t : s.transitions) {
    if (!pairs.insert({t.upper, t.lower}).second) {
      note = "two transitions between the levels at " + numberText(s.levels[t.upper].energy) +
             " and " + numberText(s.levels[t.lower].energy) + " keV, which a data set cannot hold";
      return false;
    }
  }
  ensdf::OutSet set;
  set.name = "COMPARE";
  set.capture = s.electronCapture;
  set.mode = s.electronCapture ? "EC" : (s.decayMode.empty() ? "B-" : s.decayMode);
  set.ex = static_cast<float>(s.xrayEnergy);
  set.omegak = static_cast<float>(s.omegaK);
  if (set.ex == 0.0f && !s.atomic.kLines.empty()) {
    double mean = 0.0;
    for (const AtomicLine& x : s.atomic.kLines) mean += x.share * x.energy;
    set.ex = static_cast<float>(mean);
    set.omegak = static_cast<float>(s.atomic.omegaK);
  }
  for (const SchemeLevel& l : s.levels)
    set.levels.push_back({static_cast<float>(l.energy), static_cast<float>(l.feeding),
                          static_cast<float>(l.kCaptureFraction)});
  for (const SchemeTransition& t : s.transitions)
    set.transitions.push_back({t.upper + 1, t.lower + 1, static_cast<float>(t.energy),
                               static_cast<float>(t.gamma), static_cast<float>(t.alpha),
                               static_cast<float>(t.alphaK)});
  ensdf::writeDataSet(set, text);
  return true;
}

}  // namespace

std::vector<std::optional<double>> classicBeside(const DecayScheme& scheme,
                                                 const Efficiency& efficiency,
                                                 const complete::Result& result,
                                                 std::string& note) {
  std::string block, dataSet;
  if (!dataSetOf(scheme, dataSet, note) || !efficiencyBlock(efficiency, result, block, note))
    return {};
  std::vector<ClassicLineFactor> classic;
  try {
    classic = classicFactors(block + dataSet + std::string(ensdf::kEndMarker));
  } catch (const std::exception& e) {
    note = std::string("the classic run stopped: ") + e.what();
    return {};
  }
  std::vector<std::optional<double>> out(result.lines.size());
  for (std::size_t k = 0; k < result.lines.size(); ++k) {
    const LineResult& line = result.lines[k];
    for (const ClassicLineFactor& c : classic) {
      const bool same = line.kind == LineKind::kxray
                            ? c.xray
                            : line.kind == LineKind::gamma && !c.xray &&
                                  c.upper == line.upper + 1 && c.lower == line.lower + 1;
      if (same) out[k] = c.factor;
    }
  }
  if (dynamic_cast<const efficiency::LogLogTable*>(&efficiency) == nullptr)
    note = "computed from the efficiency curve at 20 energies, interpolated as the classic model "
           "does";
  return out;
}

int runFactorsCommand(int argc, char** argv) {
  const auto parsed = complete::parseFactorsCommandLine(argc, argv, std::cout, std::cerr);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  // The readers of the decay data and the model are passed here as they
  // become part of the program; until then the command says what it lacks.
  complete::FactorsServices services;
  services.classic = classicBeside;
  return complete::runFactors(std::get<complete::FactorsOptions>(parsed), services, std::cout,
                              std::cerr);
}

}  // namespace tcsum
