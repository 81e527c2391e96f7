#include "python/bindings.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <pybind11/stl.h>

#include "check/warnings.hpp"
#include "core/fatal.hpp"
#include "core/store.hpp"
#include "input/input_file.hpp"
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

// The run of the command line without its outputs, on the calling thread and
// JOBS in all; no Python object is touched.
FileRun runDataFile(const std::string& path, const std::optional<UncertaintySettings>& uncertainty,
                    int32_t jobs) {
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
    InputFile in(path);
    run(*store, in.stream(), outputs, localDate, {}, uncertainty ? 1 : jobs);
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

}  // namespace

void defineCompute(py::module_& m) {
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
