// `tcsum factors`: the complete model's command with the program's readers,
// its model and the classic model for the comparison. Apart from
// program.cpp, whose result model names its own x-ray line.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <set>
#include <utility>

#include <fstream>
#include <memory>
#include <stdexcept>

#include "atomic/atomic.hpp"
#include "complete/simulation.hpp"
#include "core/fatal.hpp"
#include "core/text_file.hpp"
#include "driver/classic_factors.hpp"
#include "driver/factors.hpp"
#include "driver/factors_command.hpp"
#include "efficiency/loglog_table.hpp"
#include "ensdf/command.hpp"
#include "ensdf/dataset.hpp"
#include "ensdf/scheme.hpp"
#include "ensdf/writer.hpp"
#include "input/decay_scheme.hpp"
#include "input/input_file.hpp"
#include "input/reader.hpp"
#include "model/classic.hpp"

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

std::string classicDataFile(const DecayScheme& scheme, const Efficiency& efficiency,
                            const complete::Result& result, std::string& note) {
  std::string block, dataSet;
  if (!dataSetOf(scheme, dataSet, note) || !efficiencyBlock(efficiency, result, block, note))
    return {};
  return block + dataSet + std::string(ensdf::kEndMarker);
}

std::vector<std::optional<double>> classicBeside(const DecayScheme& scheme,
                                                 const Efficiency& efficiency,
                                                 const complete::Result& result,
                                                 std::string& note) {
  const std::string dataFile = classicDataFile(scheme, efficiency, result, note);
  if (dataFile.empty()) return {};
  std::vector<ClassicLineFactor> classic;
  try {
    classic = classicFactors(dataFile);
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

namespace {

std::string ensdfText(const std::string& path) {
  return readTextFile(path, kEnsdfFileLimits);
}

std::string placeOf(const ensdf::DataSet& set, int line) {
  return set.file + ":" + std::to_string(line) + ": " + set.dsid + ": ";
}

// The decay data sets of FILES whose parent is one of NUCLIDES, as schemes
// with the daughter's x-rays from the atomic data.
std::vector<complete::LoadedScheme> ensdfSchemes(const std::vector<std::string>& files,
                                                 const std::vector<std::string>& nuclides,
                                                 double isomerThreshold) {
  const bool all = std::find(nuclides.begin(), nuclides.end(), "all") != nuclides.end();
  ensdf::Settings settings;
  settings.isomerThreshold = isomerThreshold;
  std::vector<complete::LoadedScheme> out;
  for (const std::string& file : files) {
    for (const ensdf::DataSet& set : ensdf::readDataSets(ensdfText(file), file)) {
      const bool wanted =
          all || std::any_of(nuclides.begin(), nuclides.end(),
                             [&](const std::string& n) { return ensdf::matchesNuclide(set, n); });
      if (!wanted) continue;
      ensdf::SchemeBuild build = ensdf::buildScheme(set, settings);
      complete::LoadedScheme loaded;
      for (const ensdf::Warning& w : build.warnings) {
        // The complete model counts the annihilation radiation that the
        // converter's warning says a data file leaves out.
        if (w.kind == ensdf::WarningKind::BetaPlus) continue;
        loaded.warnings.push_back(escapedControls(placeOf(set, w.line) + w.text));
      }
      if (build.refusal != ensdf::RefusalKind::None) {
        loaded.refusal = escapedControls(placeOf(set, set.line) + build.reason);
        loaded.scheme = std::move(build.scheme);
        out.push_back(std::move(loaded));
        continue;
      }
      loaded.scheme = std::move(build.scheme);
      if (loaded.scheme.daughterZ > 0) loaded.scheme.atomic = atomic::atomicData(loaded.scheme.daughterZ);
      out.push_back(std::move(loaded));
    }
  }
  return out;
}

// The data sets of a data file as schemes: a single K x-ray line at E(X)
// with OMEGAK, no half-lives, no positrons.
std::vector<complete::LoadedScheme> dataFileSchemes(const std::string& path) {
  try {
    auto store = std::make_unique<Store>();
    Store& s = *store;
    InputFile in(path);
    DataFile file(in.stream());
    readEfficiencyBlock(file, s);
    std::vector<complete::LoadedScheme> out;
    std::vector<LevelRecord> levels;
    std::vector<TransitionRecord> transitions;
    for (;;) {
      readHeader(file, s);
      if (isEndMarker(s.DSNAME)) break;
      DataSetResult header;
      takeHeader(s, header);
      const int32_t headerRecord = s.headerRecord;
      readLevelRecords(file, levels);
      readTransitionRecords(file, transitions);
      complete::LoadedScheme loaded;
      loaded.scheme = decaySchemeOf(header, headerRecord, levels, transitions);
      loaded.scheme.source = path;
      loaded.scheme.atomic.omegaK = loaded.scheme.omegaK;
      if (loaded.scheme.xrayEnergy > 0.0)
        loaded.scheme.atomic.kLines = {{"K", loaded.scheme.xrayEnergy, 1.0}};
      out.push_back(std::move(loaded));
    }
    return out;
  } catch (const RunStop& stop) {
    throw std::runtime_error(formatDiagnostic(stop.diagnostic(), path));
  }
}

std::vector<std::optional<complete::SimulatedFactor>> simulatedFactors(
    const DecayScheme& scheme, const SourceEfficiency& source, const complete::Settings& settings,
    const complete::Result& result, const complete::SimulationSettings& simulation,
    unsigned threads) {
  const complete::Simulation sim =
      complete::simulate(scheme, source, settings, simulation.decays, simulation.seed, threads);
  std::vector<std::optional<complete::SimulatedFactor>> out(result.lines.size());
  // The simulation computes the same lines in the same order as the exact
  // result it carries; match them by kind and energy all the same.
  for (std::size_t k = 0; k < result.lines.size(); ++k) {
    for (std::size_t j = 0; j < sim.computed.lines.size() && j < sim.lines.size(); ++j) {
      const LineResult& a = result.lines[k];
      const LineResult& b = sim.computed.lines[j];
      if (a.kind == b.kind && a.energy == b.energy && a.label == b.label) {
        if (std::isfinite(sim.lines[j].factor) && sim.lines[j].factor > 0.0)
          out[k] = complete::SimulatedFactor{sim.lines[j].factor, sim.lines[j].factorUncertainty};
        break;
      }
    }
  }
  return out;
}

}  // namespace

complete::FactorsServices factorsServices() {
  complete::FactorsServices services;
  services.ensdf = ensdfSchemes;
  services.dataFile = dataFileSchemes;
  services.compute = complete::compute;
  services.simulate = simulatedFactors;
  services.classic = classicBeside;
  return services;
}

int runFactorsCommand(int argc, char** argv) {
  const auto parsed = complete::parseFactorsCommandLine(argc, argv, std::cout, std::cerr);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  return complete::runFactors(std::get<complete::FactorsOptions>(parsed), factorsServices(),
                              std::cout, std::cerr);
}

}  // namespace tcsum
