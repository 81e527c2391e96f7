#pragma once
// The factors command: coincidence-summing factors of the complete model,
// from decay data to outputs in one run.
//
//   tcsum factors --ensdf PATH... --nuclide NAME... --efficiency FILE.csv
//   tcsum factors -i DATAFILE --curve FILE.toml --json out.json
//
// Decay data: ENSDF files or folders (--ensdf, repeatable; a folder is every
// file in it) with --nuclide (repeatable; Eu-152, EU152, 152EU, HO166M;
// "all" for every decay data set), or a data file (-i; it holds neither
// half-lives nor positrons, which a warning says). Efficiency: a CSV table
// (--efficiency), a curve (--curve), or the model of detector and sample
// (--detector, --source with --calibration and --calibration-geometry, or
// --peak-to-total), whose emission points are counted one by one and the
// counts integrated over the sample. The model's settings, the optional
// simulation and uncertainty run, and the outputs: a table on standard
// output, --json, --csv, --html (at most one "-").
//
// Diagnostics on standard error, one line each: "warning: ...",
// "refused: FILE:LINE: DSID: reason", or the fault that ends the run.
// Exit status: 0 ok, 1 a fault (a file not read or written, no data set
// computed), 2 a usage error, 3 with --strict when the run warned or
// refused a data set.
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "complete/factors.hpp"
#include "complete/model.hpp"
#include "core/scheme.hpp"

namespace tcsum::complete {

struct FactorsOptions {
  std::vector<std::string> ensdf;     // files or folders
  std::vector<std::string> nuclides;  // "all" for every one
  std::string dataFile;               // -i
  std::string efficiencyCsv;
  std::string curve;
  // Or the efficiencies from a model of detector and source, the peak
  // efficiency transferred from a calibration in its own geometry or made
  // from a peak-to-total curve.
  std::string detector, source;
  std::string calibration, calibrationGeometry, peakToTotal;
  Settings settings;
  std::optional<uint64_t> simulate;  // decays
  uint64_t seed = 20231117;
  std::optional<double> uTotal, uPeak;  // percent
  uint32_t samples = 10000;
  std::string json, csv, html;
  bool force = false;
  bool quiet = false;
  bool strict = false;
  int jobs = 0;  // 0: one per core
};

// The options of ARGV (ARGV[0] being "factors"), or the exit status to end
// with: 0 after --help, 2 after a usage error (one line on ERR).
std::variant<FactorsOptions, int> parseFactorsCommandLine(int argc, char** argv, std::ostream& out,
                                                          std::ostream& err);

// A decay scheme as a reader gave it: with its warnings (each one line, with
// its place: "FILE:LINE: DSID: text"), or refused with the reason.
struct LoadedScheme {
  DecayScheme scheme;
  std::vector<std::string> warnings;
  std::string refusal;  // "FILE:LINE: DSID: reason"; empty when read
};

// What the command computes with; the program passes the readers and the
// model, a test its own.
struct FactorsServices {
  // The decay data sets of FILES (ENSDF files; folders already expanded)
  // whose parent is one of NUCLIDES (or all, when it holds "all").
  // Throws std::runtime_error with one line when a file cannot be read.
  std::function<std::vector<LoadedScheme>(const std::vector<std::string>& files,
                                          const std::vector<std::string>& nuclides,
                                          double isomerThreshold)>
      ensdf;
  // The data sets of a data file; throws like ENSDF.
  std::function<std::vector<LoadedScheme>(const std::string& path)> dataFile;
  std::function<Result(const DecayScheme&, const SourceEfficiency&, const Settings&)> compute;
  // The simulated factor of each of RESULT's lines, where there is one.
  std::function<std::vector<std::optional<SimulatedFactor>>(
      const DecayScheme&, const SourceEfficiency&, const Settings&, const Result&,
      const SimulationSettings&, unsigned threads)>
      simulate;
  // The classic model's factor of each of RESULT's lines where the scheme
  // fits it; NOTE says why not where it does not.
  std::function<std::vector<std::optional<double>>(const DecayScheme&, const Efficiency&,
                                                   const Result&, std::string& note)>
      classic;
};

// The files of the --ensdf PATHS: a folder's regular files in name order.
// Throws std::runtime_error with one line when a folder cannot be listed or
// holds no file.
std::vector<std::string> expandPaths(const std::vector<std::string>& paths);

// The factor of every line of SET over the samples of the uncertainty run U
// (full correlation: each curve off by one common factor), computed with
// SERVICES' model; empty for a sum peak and for a line not in every sample.
std::vector<std::optional<FactorStatistics>> uncertaintyOf(const DataSetFactors& set,
                                                          const Efficiency& efficiency,
                                                          const Settings& settings,
                                                          const UncertaintySettings& u,
                                                          const FactorsServices& services);
// The same for a source of several nodes (a sample of the geometry model),
// each node's efficiencies scaled alike.
std::vector<std::optional<FactorStatistics>> uncertaintyOf(const DataSetFactors& set,
                                                          const SourceEfficiency& source,
                                                          const Settings& settings,
                                                          const UncertaintySettings& u,
                                                          const FactorsServices& services);

// Runs OPTIONS; returns the exit status.
int runFactors(const FactorsOptions& options, const FactorsServices& services, std::ostream& out,
               std::ostream& err);

// True when NAME is written like a nuclide: Eu-152, EU152, 152EU, Ho-166m.
bool nuclideNameForm(const std::string& name);

}  // namespace tcsum::complete
