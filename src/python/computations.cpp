#include "python/bindings.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <pybind11/stl.h>

#include "check/warnings.hpp"
#include "complete/factors.hpp"
#include "complete/model.hpp"
#include "core/fatal.hpp"
#include "core/store.hpp"
#include "input/input_file.hpp"
#include "driver/factors.hpp"
#include "driver/factors_command.hpp"
#include "driver/run.hpp"
#include "uncertainty/propagation.hpp"

namespace py = pybind11;
using namespace pybind11::literals;

namespace tcsum::python {

namespace {

// What a data-file run gives back: the data sets' lines and the warnings in
// the order the command line prints them, or the diagnostic that stopped it.
struct FileRun {
  std::vector<DataSetLines> dataSets;
  std::vector<std::string> warnings;
  std::optional<std::string> stopped;
};

// The run of the command line without its outputs over the data file PATH
// (or TEXT in its place, PATH naming it), on the calling thread and JOBS in
// all; no Python object is touched.
FileRun runDataFile(const std::string& path, const std::optional<UncertaintySettings>& uncertainty,
                    int32_t jobs, const std::string* text = nullptr) {
  FileRun out;
  auto collect = [&out](const std::vector<Warning>& warnings) {
    for (const Warning& w : warnings)
      out.warnings.push_back(warningText(formatWarning(w)));
  };
  RunOutputs outputs;
  outputs.detector = [&](const DetectorResult& d) { collect(d.warnings); };
  outputs.dataSet = [&](const DataSetResult& ds, const PreparedTexts&) {
    collect(ds.warnings);
    if (ds.reached == Stage::complete) out.dataSets.push_back(classicLines(ds));
  };
  outputs.finished = collect;
  if (uncertainty) {
    outputs.analyse = [&](const Store& asRead, DataSetResult& ds) {
      propagateEfficiencyUncertainty(asRead, ds,
                                     {*uncertainty, static_cast<unsigned>(jobs), {}});
    };
  }
  auto store = std::make_unique<Store>();
  try {
    std::unique_ptr<InputFile> file;
    std::optional<std::istringstream> given;
    if (text) {
      given.emplace(*text);
    } else {
      file = std::make_unique<InputFile>(path);
    }
    std::istream& data = text ? static_cast<std::istream&>(*given) : file->stream();
    run(*store, data, outputs, localDate, {}, uncertainty ? 1 : jobs);
  } catch (const RunStop& stop) {
    const Diagnostic& d = stop.diagnostic();
    out.stopped = formatDiagnostic(d, d.unit == kDataUnit ? std::string_view(path)
                                                          : defaultFileName(d.unit));
  }
  return out;
}

std::optional<UncertaintySettings> uncertaintyOf(std::optional<double> uTotal,
                                                 std::optional<double> uPeak,
                                                 const std::string& correlation, int64_t samples,
                                                 uint64_t seed) {
  if (!uTotal && !uPeak) return std::nullopt;
  for (const std::optional<double>& u : {uTotal, uPeak}) {
    if (u && !(*u >= 0.0 && *u <= 100.0))
      throw ModuleError("u_total and u_peak are percent, 0 ... 100");
  }
  if (correlation != "full" && correlation != "none")
    throw ModuleError("correlation is \"full\" or \"none\", not \"" + correlation + "\"");
  if (samples < 2 || samples > 200000) throw ModuleError("samples must lie in 2 ... 200000");
  if (seed >= (uint64_t{1} << 53)) throw ModuleError("seed must be below 2**53");
  return UncertaintySettings{static_cast<float>(uTotal.value_or(0.0)),
                             static_cast<float>(uPeak.value_or(0.0)),
                             correlation == "none" ? EfficiencyCorrelation::none
                                                   : EfficiencyCorrelation::full,
                             samples, seed};
}

int32_t jobsOf(int32_t jobs) {
  if (jobs < 0) throw ModuleError("jobs must be 0 (one per core) or more");
  if (jobs > 0) return jobs;
  return std::max(1, static_cast<int32_t>(std::thread::hardware_concurrency()));
}

std::vector<DataSetLines> computeDataFile(const std::string& path, std::optional<double> uTotal,
                                          std::optional<double> uPeak,
                                          const std::string& correlation, int64_t samples,
                                          uint64_t seed, int32_t jobs) {
  const std::optional<UncertaintySettings> uncertainty =
      uncertaintyOf(uTotal, uPeak, correlation, samples, seed);
  const int32_t threads = jobsOf(jobs);
  FileRun result;
  {
    py::gil_scoped_release free;
    result = runDataFile(path, uncertainty, threads);
  }
  issueWarnings(result.warnings);
  if (result.stopped) throw ModuleError(*result.stopped);
  return std::move(result.dataSets);
}

std::string numberText(double value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// Below this many samples the 95 % interval is not meaningful.
constexpr int64_t kMeaningfulSamples = 100;

// What the complete model computes for one scheme, as the factors command
// computes a data set: the result, the warnings it gives for it, the factor
// statistics of an uncertainty run; or the fault that stopped the model.
struct CompleteRun {
  DataSetLines lines;
  std::optional<std::string> failed;
};

CompleteRun runComplete(const DecayScheme& scheme, const EfficiencyObject& efficiency,
                        const complete::Settings& settings,
                        const std::optional<complete::UncertaintySettings>& uncertainty) {
  const complete::FactorsServices services = factorsServices();
  CompleteRun out;
  DataSetLines& r = out.lines;
  r.model = "complete";
  r.name = scheme.name;
  r.parent = scheme.parent;
  r.dsid = scheme.dsid;
  const std::string name = scheme.dsid.empty() ? scheme.name : scheme.dsid;
  complete::DataSetFactors set;
  set.scheme = scheme;
  try {
    const SourceEfficiency source = efficiency.source.empty()
                                        ? SourceEfficiency{{1.0, efficiency.efficiency}}
                                        : efficiency.source;
    set.result = services.compute(scheme, source, settings);
    std::vector<double> energies;
    for (const complete::Photon& p : set.result.photons) energies.push_back(p.energy);
    std::sort(energies.begin(), energies.end());
    energies.erase(std::unique(energies.begin(), energies.end()), energies.end());
    for (const std::string& f : efficiency.findings(energies)) r.warnings.push_back(name + ": " + f);
    for (const std::string& w : set.result.warnings) r.warnings.push_back(name + ": " + w);
    for (const LineResult& line : set.result.lines)
      if (line.kind != LineKind::sum && !(std::isfinite(line.factor) && line.factor > 0.0))
        r.warnings.push_back(name + ": " + lineKindName(line.kind) + " " + numberText(line.energy) +
                             " keV: factor " + numberText(line.factor) + " is not a positive number");
    if (uncertainty)
      set.uncertainty = efficiency.source.empty()
                            ? complete::uncertaintyOf(set, *efficiency.efficiency, settings,
                                                      *uncertainty, services)
                            : complete::uncertaintyOf(set, efficiency.source, settings,
                                                      *uncertainty, services);
  } catch (const std::exception& e) {
    out.failed = scheme.source + ":" + std::to_string(scheme.record) + ": " + name +
                 ": the model failed: " + e.what();
    return out;
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t k = 0; k < set.result.lines.size(); ++k) {
    Line line{set.result.lines[k], std::nullopt};
    if (k < set.uncertainty.size() && set.uncertainty[k]) {
      const complete::FactorStatistics& s = *set.uncertainty[k];
      line.uncertainty = LineUncertainty{s.mean, s.standard, s.low95, s.high95, nan, nan};
    }
    r.lines.push_back(std::move(line));
  }
  r.settings = {{"annihilation", complete::annihilationName(settings.annihilation)},
                {"peak_window_keV",
                 settings.peakWindow ? numberText(*settings.peakWindow) : "resolution curve"},
                {"isomer_threshold_s", numberText(settings.isomerThreshold)},
                {"efficiency", efficiency.efficiency->describe()}};
  if (uncertainty) {
    r.settings.push_back({"u_total_percent", numberText(uncertainty->uTotal)});
    r.settings.push_back({"u_peak_percent", numberText(uncertainty->uPeak)});
    r.settings.push_back({"samples", std::to_string(uncertainty->samples)});
    r.settings.push_back({"seed", std::to_string(uncertainty->seed)});
  }
  return out;
}

// The classic model's lines of SCHEME as tcsum factors computes them beside
// its own: the scheme written as a data set with EFFICIENCY as its table
// (sampled across the complete model's photons where it is no table of at
// most 29 points) and run through the classic stages.
CompleteRun runClassic(const DecayScheme& scheme, const EfficiencyObject& efficiency,
                       const complete::Settings& settings) {
  CompleteRun out;
  const std::string name = scheme.dsid.empty() ? scheme.name : scheme.dsid;
  std::string note, text;
  try {
    const complete::Result result =
        complete::compute(scheme, SourceEfficiency{{1.0, efficiency.efficiency}}, settings);
    text = classicDataFile(scheme, *efficiency.efficiency, result, note);
  } catch (const std::exception& e) {
    out.failed = scheme.source + ":" + std::to_string(scheme.record) + ": " + name +
                 ": the model failed: " + e.what();
    return out;
  }
  if (text.empty()) {
    out.failed = name + ": the classic model cannot compute it: " + note;
    return out;
  }
  FileRun run = runDataFile("the classic model's data set of " + name, std::nullopt, 1, &text);
  if (run.stopped || run.dataSets.empty()) {
    out.failed = name + ": the classic run stopped: " + run.stopped.value_or("no data set computed");
    return out;
  }
  out.lines = std::move(run.dataSets.front());
  out.lines.name = scheme.name;
  out.lines.parent = scheme.parent;
  out.lines.dsid = scheme.dsid;
  out.lines.warnings.clear();
  out.lines.settings = {{"efficiency", note.empty() ? efficiency.efficiency->describe()
                                                    : efficiency.efficiency->describe() + "; " + note}};
  return out;
}

complete::Annihilation annihilationOf(const std::string& mode) {
  if (mode == "back-to-back") return complete::Annihilation::backToBack;
  if (mode == "independent") return complete::Annihilation::independent;
  if (mode == "none") return complete::Annihilation::none;
  throw ModuleError("annihilation is \"back-to-back\", \"independent\" or \"none\", not \"" +
                    mode + "\"");
}

DataSetLines computeScheme(const DecayScheme& scheme, const EfficiencyObject& efficiency,
                           const std::string& model, const std::string& annihilation,
                           std::optional<double> peakWindow, const py::object& isomerThreshold,
                           std::optional<double> uTotal, std::optional<double> uPeak,
                           int64_t samples, uint64_t seed) {
  if (model != "complete" && model != "classic")
    throw ModuleError("model is \"complete\" or \"classic\", not \"" + model + "\"");
  complete::Settings settings;
  settings.annihilation = annihilationOf(annihilation);
  if (peakWindow) {
    if (!(*peakWindow > 0.0) || !std::isfinite(*peakWindow))
      throw ModuleError("peak_window_keV: " + numberText(*peakWindow) +
                        " is not a positive width in keV");
    settings.peakWindow = peakWindow;
  }
  settings.isomerThreshold = secondsOf(isomerThreshold);
  std::optional<complete::UncertaintySettings> uncertainty;
  if (model == "classic" && (uTotal || uPeak))
    throw ModuleError("u_total, u_peak: the uncertainty of the classic model's factors is "
                      "computed for a data file (compute_data_file)");
  std::vector<std::string> warnings;
  if (uTotal || uPeak) {
    for (const std::optional<double>& u : {uTotal, uPeak})
      if (u && !(*u >= 0.0 && *u <= 100.0))
        throw ModuleError("u_total and u_peak are percent, 0 ... 100");
    if (samples < 2 || samples > 200000) throw ModuleError("samples must lie in 2 ... 200000");
    uncertainty = complete::UncertaintySettings{uTotal.value_or(0.0), uPeak.value_or(0.0),
                                                static_cast<uint32_t>(samples), seed};
    if (samples < kMeaningfulSamples)
      warnings.push_back("samples " + std::to_string(samples) + ": below " +
                         std::to_string(kMeaningfulSamples) +
                         " samples the standard uncertainty and the 95 % interval are not "
                         "meaningful");
  }
  CompleteRun run;
  {
    py::gil_scoped_release free;
    run = model == "classic" ? runClassic(scheme, efficiency, settings)
                             : runComplete(scheme, efficiency, settings, uncertainty);
  }
  warnings.insert(warnings.end(), run.lines.warnings.begin(), run.lines.warnings.end());
  issueWarnings(warnings);
  if (run.failed) throw ModuleError(*run.failed);
  return std::move(run.lines);
}

}  // namespace

void defineCompute(py::module_& m) {
  m.def("compute", &computeScheme, "scheme"_a, "efficiency"_a, py::kw_only(),
        "model"_a = "complete", "annihilation"_a = "back-to-back",
        "peak_window_keV"_a = py::none(), "isomer_threshold"_a = 1e-6, "u_total"_a = py::none(),
        "u_peak"_a = py::none(), "samples"_a = 10000, "seed"_a = kDefaultSeed,
        "The lines of SCHEME (a DecayScheme) at a point source seen with EFFICIENCY (an "
        "Efficiency), computed as tcsum factors computes a data set, and returned as a "
        "Result.\n\n"
        "model: \"complete\" (every history of the decay, counted exactly in double "
        "precision) or \"classic\" (the scheme written as a data set, with the "
        "efficiencies as its table, and computed as tcsum -i computes a data file: the "
        "classic_factor tcsum factors gives beside its own; its gamma and K x-ray lines "
        "only; a scheme of more than 32 levels, or with two transitions between two "
        "levels, is refused).\n"
        "annihilation: \"back-to-back\", \"independent\" (a well-type detector) or "
        "\"none\", as --annihilation.\n"
        "peak_window_keV: half-width of a line's peak (default: the FWHM of the default "
        "resolution curve).\n"
        "isomer_threshold: a level living at least this long ends the event (seconds, or a "
        "text such as \"1 us\").\n"
        "u_total, u_peak: relative standard uncertainties of the efficiencies, percent; "
        "with either, every line but a sum peak gets the mean, standard uncertainty and "
        "shortest 95 % interval of its factor over SAMPLES samples from SEED (full "
        "correlation).\n"
        "Warnings are issued as TcsumWarning; a failure of the model raises tcsum.Error.");

  m.def("compute_data_file", &computeDataFile, "path"_a, py::kw_only(), "u_total"_a = py::none(),
        "u_peak"_a = py::none(), "correlation"_a = "full", "samples"_a = kDefaultSamples,
        "seed"_a = kDefaultSeed, "jobs"_a = 1,
        "Computes every data set of the data file PATH with the classic model, as the "
        "command line does (tcsum -i PATH), and returns one Result per data set.\n\n"
        "u_total, u_peak: relative standard uncertainties of the total and peak "
        "efficiencies, percent; with either, every factor gets its uncertainty "
        "(correlation \"full\" or \"none\", samples, seed as --u-correlation, --samples, "
        "--seed).\n"
        "jobs: threads to compute on (data sets at once, or the samples of an uncertainty "
        "run); 0 = one per core. The results are the same for every jobs.\n"
        "Warnings are issued as TcsumWarning; a fault raises tcsum.Error with the "
        "command line's diagnostic (and no results).");
}

}  // namespace tcsum::python
