#include "driver/factors_command.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <exception>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "core/fatal.hpp"
#include "core/result.hpp"
#include "outputs/factors_outputs.hpp"
#include "efficiency/csv_table.hpp"
#include "efficiency/log_curve.hpp"
#include "efficiency/loglog_table.hpp"
#include "efficiency/text_file.hpp"
#include "ensdf/number.hpp"
#include "geometry/model.hpp"
#include "html/geometry.hpp"
#include "outputs/output_file.hpp"
#include "uncertainty/sampling.hpp"

namespace tcsum::complete {

namespace {

constexpr int kExitFault = 1;
constexpr int kExitUsage = 2;
constexpr int kExitWarned = 3;
// A warning lists at most this many energies.
constexpr std::size_t kListedEnergies = 10;

constexpr const char* kFooter =
    R"(Computes the coincidence-summing factors of the complete model: every
history of the decay from its feeding down, with gamma rays, K and L x-rays
and annihilation radiation, counted exactly for a point source. The factor of
a line is its peak count without coincidences over its count with them:
multiply a measured peak area by it.

Examples:
  tcsum factors --ensdf ensdf/ --nuclide Eu-152 --nuclide Na-22 --nuclide Se-75 \
        --curve detector.toml
  tcsum factors --ensdf ensdf.060 --nuclide Co-60 --efficiency detector.csv --json co60.json
  tcsum factors --ensdf ensdf/ --nuclide all --efficiency detector.csv --csv all.csv -j 2
  tcsum factors -i TALVEN --efficiency detector.csv --html page.html
  tcsum factors --ensdf ensdf.022 --nuclide Na-22 --curve detector.toml --simulate 10000000
  tcsum factors --ensdf ensdf.152 --nuclide Eu-152 --curve detector.toml --u-total 10 --u-peak 3

Efficiency files: a CSV table with the heading energy_keV,total,peak
(efficiencies as fractions, interpolated linearly in log-log space and
continued from the end intervals outside it, with a warning), or a TOML
curve ln eps = sum c_i (ln E)^i with [total] and [peak] coefficients.

Exit status: 0 ok; 1 a file could not be read or written, or no data set was
computed; 2 the command line could not be understood; 3 with --strict, the
run warned or refused a data set.)";

std::string normalisedNuclide(std::string_view name) {
  std::string out;
  for (char c : name)
    if (c != '-' && c != ' ' && c != '_')
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string numberText(double value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// An energy of a calibration as its file gives it (it comes back from its
// logarithm): six significant digits.
std::string energyText(double value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6).ptr);
}

// "14.4, 21.6, ... and 3 more"
std::string energyList(const std::vector<double>& energies) {
  std::string out;
  for (std::size_t k = 0; k < energies.size() && k < kListedEnergies; ++k)
    out += (k ? ", " : "") + numberText(energies[k]);
  if (energies.size() > kListedEnergies)
    out += " and " + std::to_string(energies.size() - kListedEnergies) + " more";
  return out;
}

// Control bytes of input text shown as \xNN, so that nothing from a file
// reaches the terminal as an escape sequence.
std::string printable(std::string_view text) { return escapedControls(text); }

}  // namespace

std::vector<std::string> expandPaths(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
      files.push_back(path);
      continue;
    }
    std::vector<std::string> inFolder;
    for (const auto& entry : std::filesystem::directory_iterator(path, error))
      if (entry.is_regular_file(error)) inFolder.push_back(entry.path().string());
    if (error) throw std::runtime_error(path + ": cannot list the folder: " + error.message());
    std::sort(inFolder.begin(), inFolder.end());
    if (inFolder.empty()) throw std::runtime_error(path + ": a folder without files");
    files.insert(files.end(), inFolder.begin(), inFolder.end());
  }
  return files;
}

namespace {

struct LoadedEfficiency {
  std::shared_ptr<const Efficiency> efficiency;
  // The energies a table does not cover; a curve's findings.
  std::function<std::vector<std::string>(std::span<const double>)> findings;
  // The source as the model counts it: one node for a point table or curve,
  // the sample's emission points from the geometry model; there also the
  // emission points of the next higher volume order, for the accuracy.
  SourceEfficiency source;
  SourceEfficiency refined;
  std::optional<GeometryRun> geometry;
  std::string htmlSection;  // the drawing of the geometry for the page
};

// Check energies of the efficiencies' accuracy: across the range of
// gamma-ray spectrometry, even in log E.
constexpr double kAccuracyEnergies[] = {50.0, 120.0, 350.0, 1000.0, 3000.0};

// The curves drawn on the page.
constexpr int kCurveEnergies = 40;
constexpr double kCurveLowest = 30.0;    // keV
constexpr double kCurveHighest = 3000.0;

LoadedEfficiency geometryEfficiency(const FactorsOptions& o) {
  using namespace geometry;
  const Calibration calibration{o.calibration, o.calibrationGeometry, o.peakToTotal};
  SampleEfficiency s = sourceEfficiency(o.detector, o.source, calibration, kCountedSampleOrders);
  LoadedEfficiency loaded;
  loaded.efficiency = s.average;
  loaded.source = s.nodes;
  // The factors are checked against the volume's order raised by one (the
  // directions' error, far smaller, enters them only through the
  // efficiencies), the total efficiency against every order raised.
  Orders volume = s.sample->orders;
  volume.volume += 1;
  loaded.refined = sampleNodes(std::make_shared<const PreparedSource>(prepare(s.geometry, volume)), s.rule);
  const std::vector<double> checks(std::begin(kAccuracyEnergies), std::end(kAccuracyEnergies));
  const Accuracy accuracy = estimateAccuracy(s.geometry, *s.sample, checks);
  GeometryRun g;
  g.detector = s.geometry.detectorSummary + " (" + o.detector + ")";
  g.source = s.geometry.sourceSummary + " (" + o.source + ")";
  g.points = s.sample->points.size();
  g.efficiencyAccuracy = accuracy.maxRelative();
  g.orders = std::to_string(s.sample->orders.volume) + "/" + std::to_string(s.sample->orders.polar) + "/" +
             std::to_string(s.sample->orders.azimuth);
  loaded.geometry = g;
  const std::string what = o.peakToTotal.empty() ? "calibration " + o.calibration : "peak-to-total curve " + o.peakToTotal;
  auto rule = s.rule;
  loaded.findings = [rule, what](std::span<const double> energies) {
    std::vector<double> outside;
    for (double e : energies)
      if (e < rule->peakPerTotal.lowest() * (1 - 1e-12) || e > rule->peakPerTotal.highest() * (1 + 1e-12))
        outside.push_back(e);
    std::vector<std::string> out;
    if (!outside.empty())
      out.push_back(what + ": photon energies outside it (" + energyText(rule->peakPerTotal.lowest()) + " to " +
                    energyText(rule->peakPerTotal.highest()) +
                    " keV), the peak efficiency there extrapolated log-log: " + energyList(outside) + " keV");
    return out;
  };
  if (!o.html.empty()) {
    // The page's drawing: the sample's cross-section and its curves.
    std::vector<double> grid;
    for (int k = 0; k < kCurveEnergies; ++k)
      grid.push_back(kCurveLowest * std::pow(kCurveHighest / kCurveLowest, static_cast<double>(k) / (kCurveEnergies - 1)));
    std::vector<EfficiencyPair> values(grid.size());
    s.average->at(grid, values);
    std::vector<html::CurvePoint> curve;
    for (std::size_t k = 0; k < grid.size(); ++k) curve.push_back({grid[k], values[k].total, values[k].peak});
    loaded.htmlSection = html::geometrySection(
        s.geometry, curve,
        {"Efficiencies of the sample as the mean over its emission points; the summing is counted at each of "
         "them with that point's efficiencies."});
  }
  return loaded;
}

LoadedEfficiency loadEfficiency(const FactorsOptions& o) {
  if (!o.detector.empty()) return geometryEfficiency(o);
  if (!o.curve.empty()) {
    auto curve = std::make_shared<efficiency::LogPolynomialCurve>(
        efficiency::readEfficiencyCurve(o.curve));
    return {curve, [curve](std::span<const double> e) { return curve->findings(e); }, {{1.0, curve}}, {}, {}, {}};
  }
  auto table = std::make_shared<efficiency::LogLogTable>(
      efficiency::readEfficiencyCsv(o.efficiencyCsv), o.efficiencyCsv);
  return {table, [table, o](std::span<const double> e) {
            std::vector<std::string> out;
            const std::vector<double> outside = table->outsideTable(e);
            if (!outside.empty())
              out.push_back("efficiency table " + o.efficiencyCsv +
                            ": photon energies outside the table (" +
                            numberText(table->table().front().energy) + " to " +
                            numberText(table->table().back().energy) +
                            " keV), continued in log-log from its end intervals: " +
                            energyList(outside) + " keV");
            return out;
          }, {{1.0, table}}, {}, {}, {}};
}

// What identifies a line among the results of one data set.
using LineKey = std::tuple<int, std::string, int32_t, int32_t, double>;
LineKey keyOf(const LineResult& line) {
  return {static_cast<int>(line.kind), line.label, line.upper, line.lower,
          std::round(line.energy * 1000.0)};
}

}  // namespace

std::vector<std::optional<FactorStatistics>> uncertaintyOf(const DataSetFactors& set,
                                                          const Efficiency& efficiency,
                                                          const Settings& settings,
                                                          const UncertaintySettings& u,
                                                          const FactorsServices& services) {
  // One node, not owned: the efficiency outlives the call.
  const SourceEfficiency point{{1.0, std::shared_ptr<const Efficiency>(std::shared_ptr<const Efficiency>(), &efficiency)}};
  return uncertaintyOf(set, point, settings, u, services);
}

std::vector<std::optional<FactorStatistics>> uncertaintyOf(
    const DataSetFactors& set, const SourceEfficiency& source, const Settings& settings,
    const UncertaintySettings& u, const FactorsServices& services) {
  std::map<LineKey, std::size_t> index;
  for (std::size_t k = 0; k < set.result.lines.size(); ++k) index[keyOf(set.result.lines[k])] = k;
  std::vector<std::vector<float>> samples(set.result.lines.size());
  const std::size_t points = source.front().efficiency->points();
  std::vector<double> total(points), peak(points);
  for (uint32_t s = 0; s < u.samples; ++s) {
    SampleStream stream(u.seed, s);
    // Full correlation: each curve off by one common factor, at every
    // emission point of a sample alike.
    std::fill(total.begin(), total.end(), logNormalFactor(u.uTotal / 100.0, stream.normal()));
    std::fill(peak.begin(), peak.end(), logNormalFactor(u.uPeak / 100.0, stream.normal()));
    SourceEfficiency scaled;
    for (const EfficiencyNode& node : source)
      scaled.push_back({node.weight, std::shared_ptr<const Efficiency>(node.efficiency->scaled(total, peak))});
    const Result r = services.compute(set.scheme, scaled, settings);
    for (const LineResult& line : r.lines) {
      const auto found = index.find(keyOf(line));
      if (found != index.end()) samples[found->second].push_back(static_cast<float>(line.factor));
    }
  }
  std::vector<std::optional<FactorStatistics>> out(samples.size());
  for (std::size_t k = 0; k < samples.size(); ++k) {
    // A sum peak that falls below the reporting share in some samples has
    // no distribution of its own.
    if (samples[k].size() != u.samples || set.result.lines[k].kind == LineKind::sum) continue;
    const SampleSummary s = summarise(samples[k]);
    out[k] = FactorStatistics{s.mean, s.standard, s.low95, s.high95};
  }
  return out;
}

namespace {

// For a sample from the geometry model: the factors with its volume-averaged
// efficiencies beside those counted point by point, and how far the factors
// move when the volume's quadrature order is raised by one.
void sampleChecks(DataSetFactors& set, const LoadedEfficiency& efficiency, const Settings& settings,
                  const FactorsServices& services, const Result& refined) {
  std::map<LineKey, std::size_t> index;
  for (std::size_t k = 0; k < set.result.lines.size(); ++k) index[keyOf(set.result.lines[k])] = k;
  set.averaged.assign(set.result.lines.size(), std::nullopt);
  const Result averaged = services.compute(set.scheme, SourceEfficiency{{1.0, efficiency.efficiency}}, settings);
  for (const LineResult& line : averaged.lines) {
    const auto found = index.find(keyOf(line));
    if (found != index.end() && line.kind != LineKind::sum) set.averaged[found->second] = line.factor;
  }
  double worst = 0.0;
  for (const LineResult& line : refined.lines) {
    const auto found = index.find(keyOf(line));
    if (found == index.end() || line.kind == LineKind::sum) continue;
    const double factor = set.result.lines[found->second].factor;
    if (std::isfinite(factor) && factor > 0.0 && std::isfinite(line.factor))
      worst = std::max(worst, std::abs(line.factor - factor) / factor);
  }
  set.integration = worst;
}

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code e1, e2;
  const auto pa = std::filesystem::weakly_canonical(std::filesystem::absolute(a, e1), e1);
  const auto pb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, e2), e2);
  return !e1 && !e2 && pa == pb;
}

}  // namespace

bool nuclideNameForm(const std::string& name) {
  int digits = 0, letters = 0;
  for (char c : normalisedNuclide(name)) {
    if (std::isdigit(static_cast<unsigned char>(c)))
      ++digits;
    else if (std::isalpha(static_cast<unsigned char>(c)))
      ++letters;
    else
      return false;
  }
  return digits > 0 && digits <= 3 && letters > 0 && letters <= 3;
}

std::variant<FactorsOptions, int> parseFactorsCommandLine(int argc, char** argv, std::ostream& out,
                                                          std::ostream& err) {
  FactorsOptions o;
  CLI::App app("tcsum factors: coincidence-summing factors of the complete model", "tcsum factors");
  app.footer(kFooter);
  app.option_defaults()->always_capture_default(false);
  const CLI::Validator namesAFile(
      [](std::string& text) -> std::string { return text.empty() ? "empty file name" : ""; }, "");

  auto* ensdfOption = app.add_option("--ensdf", o.ensdf,
                                     "ENSDF file or folder of them (every file in it); repeatable")
                          ->type_name("PATH")
                          ->check(namesAFile);
  auto* nuclideOption =
      app.add_option("--nuclide", o.nuclides,
                     "Parent nuclide (Eu-152, EU152, 152EU, HO166M; all = every decay data set); "
                     "repeatable")
          ->type_name("NAME");
  auto* input = app.add_option("-i,--input", o.dataFile,
                               "A data file as decay data (no half-lives, no positrons)")
                    ->type_name("FILE")
                    ->check(namesAFile)
                    ->excludes(ensdfOption)
                    ->excludes(nuclideOption);
  auto* csv = app.add_option("--efficiency", o.efficiencyCsv,
                             "Efficiency table, CSV energy_keV,total,peak (fractions)")
                  ->type_name("FILE.csv")
                  ->check(namesAFile);
  auto* curve = app.add_option("--curve", o.curve,
                               "Efficiency curve, TOML: ln eps = sum c_i (ln E)^i, [total] and [peak]")
                    ->type_name("FILE.toml")
                    ->check(namesAFile)
                    ->excludes(csv);
  auto* detector = app.add_option("--detector", o.detector,
                                  "Efficiencies from the model: description of the detector (TOML)")
                       ->type_name("FILE")
                       ->check(namesAFile)
                       ->excludes(csv)
                       ->excludes(curve);
  auto* sample = app.add_option("--source", o.source,
                                "Description of the sample: source, container, matrix (TOML); summing "
                                "counted point by point over it")
                     ->type_name("FILE")
                     ->check(namesAFile);
  auto* calibration = app.add_option("--calibration", o.calibration,
                                     "Measured efficiencies in the reference geometry: "
                                     "energy_keV,peak[,total]")
                          ->type_name("FILE")
                          ->check(namesAFile);
  auto* reference = app.add_option("--calibration-geometry", o.calibrationGeometry,
                                   "Description of the calibration source (TOML; the same detector)")
                        ->type_name("FILE")
                        ->check(namesAFile);
  auto* peakToTotal = app.add_option("--peak-to-total", o.peakToTotal,
                                     "Peak-to-total curve energy_keV,peak_to_total instead of a calibration")
                          ->type_name("FILE")
                          ->check(namesAFile)
                          ->excludes(calibration)
                          ->excludes(reference);
  detector->needs(sample);
  sample->needs(detector);
  calibration->needs(reference)->needs(detector);
  reference->needs(calibration);
  peakToTotal->needs(detector);
  std::string annihilation = "back-to-back";
  app.add_option("--annihilation", annihilation,
                 "back-to-back (default: at most one of the two photons reaches the detector), "
                 "independent (a well-type detector) or none")
      ->type_name("MODE")
      ->check(CLI::IsMember({"back-to-back", "independent", "none"}));
  double peakWindow = 0.0;
  auto* window = app.add_option("--peak-window", peakWindow,
                                "Half-width of a line's peak, keV (default: the detector's FWHM "
                                "from the default resolution curve)")
                     ->type_name("KEV");
  std::string isomerThreshold = "1 us";
  app.add_option("--isomer-threshold", isomerThreshold,
                 "A level living at least this long ends the event (default 1 us)")
      ->type_name("TIME");
  uint64_t decays = 0;
  auto* simulate = app.add_option("--simulate", decays,
                                  "Simulate N decays of the same model and show the simulated "
                                  "factors beside the computed ones")
                       ->type_name("N")
                       ->check(CLI::Range(uint64_t{1}, uint64_t{1} << 40));
  double uTotal = 0.0, uPeak = 0.0;
  auto* total = app.add_option("--u-total", uTotal,
                               "Relative standard uncertainty of the total efficiency, percent")
                    ->type_name("PERCENT")
                    ->check(CLI::Range(0.0, 100.0));
  auto* peak = app.add_option("--u-peak", uPeak,
                              "Relative standard uncertainty of the peak efficiency, percent")
                   ->type_name("PERCENT")
                   ->check(CLI::Range(0.0, 100.0));
  auto* samples = app.add_option("--samples", o.samples,
                                 "Samples of the uncertainty run (default 10000)")
                      ->type_name("N")
                      ->check(CLI::Range(2u, 200000u));
  auto* seed = app.add_option("--seed", o.seed,
                              "Seed of the simulation and of the samples (default 20231117)")
                   ->type_name("S");
  app.add_option("--json", o.json, "Write the results as JSON (- = standard output)")
      ->type_name("FILE")
      ->check(namesAFile);
  app.add_option("--csv", o.csv, "Write one row per line as CSV (- = standard output)")
      ->type_name("FILE")
      ->check(namesAFile);
  app.add_option("--html", o.html, "Write one self-contained HTML page (- = standard output)")
      ->type_name("FILE")
      ->check(namesAFile);
  app.add_flag("--force", o.force, "Replace existing output files");
  app.add_flag("-q,--quiet", o.quiet, "Print no warnings");
  app.add_flag("--strict", o.strict, "Exit status 3 when the run warned or refused a data set");
  app.add_option("-j,--jobs", o.jobs, "Threads (default: one per core); the outputs do not depend on it")
      ->type_name("N")
      ->check(CLI::Range(1, 256));

  auto usage = [&err](const std::string& message) {
    err << "tcsum factors: " << message << " (see tcsum factors --help)\n";
    return kExitUsage;
  };
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& failure) {
    if (failure.get_exit_code() == 0) {
      app.exit(failure, out, err);
      return 0;
    }
    return usage(failure.what());
  }
  (void)input;
  if (o.ensdf.empty() && o.dataFile.empty())
    return usage("no decay data: give --ensdf PATH with --nuclide NAME, or -i DATAFILE");
  if (!o.ensdf.empty() && o.nuclides.empty())
    return usage("--ensdf needs --nuclide NAME (or --nuclide all for every decay data set)");
  for (const std::string& n : o.nuclides)
    if (n != "all" && !nuclideNameForm(n))
      return usage("--nuclide: \"" + printable(n) + "\" is not a nuclide such as Eu-152, EU152 or 152EU");
  if (o.efficiencyCsv.empty() && o.curve.empty() && o.detector.empty())
    return usage("no efficiency: give --efficiency FILE.csv, --curve FILE.toml, or --detector and --source");
  if (!o.detector.empty() && o.calibration.empty() && o.peakToTotal.empty())
    return usage("--detector: the peak efficiency needs --calibration with --calibration-geometry, or "
                 "--peak-to-total");
  (void)curve;
  o.settings.annihilation = annihilation == "independent" ? Annihilation::independent
                            : annihilation == "none"      ? Annihilation::none
                                                          : Annihilation::backToBack;
  if (window->count() > 0) {
    if (!(peakWindow > 0.0) || !std::isfinite(peakWindow))
      return usage("--peak-window: " + numberText(peakWindow) + " is not a positive width in keV");
    o.settings.peakWindow = peakWindow;
  }
  const std::optional<double> threshold = ensdf::parseDuration(isomerThreshold);
  if (!threshold || std::isnan(*threshold) || *threshold < 0.0)
    return usage("--isomer-threshold: cannot read \"" + printable(isomerThreshold) +
                 "\" as a time such as \"1 us\"");
  o.settings.isomerThreshold = *threshold;
  if (simulate->count() > 0) o.simulate = decays;
  if (total->count() > 0 || peak->count() > 0) {
    o.uTotal = uTotal;
    o.uPeak = uPeak;
  } else if (samples->count() > 0) {
    return usage("--samples: needs --u-total or --u-peak");
  }
  if (seed->count() > 0 && !o.simulate && !o.uTotal)
    return usage("--seed: needs --simulate, --u-total or --u-peak");

  const std::vector<std::pair<const char*, const std::string*>> outputs{
      {"--json", &o.json}, {"--csv", &o.csv}, {"--html", &o.html}};
  int onStandardOutput = 0;
  for (const auto& [name, path] : outputs) onStandardOutput += (*path == "-");
  if (onStandardOutput > 1) return usage("-: at most one output may go to standard output");
  std::vector<std::string> inputs = o.ensdf;
  if (!o.dataFile.empty()) inputs.push_back(o.dataFile);
  for (const std::string* e : {&o.efficiencyCsv, &o.curve, &o.detector, &o.source, &o.calibration,
                               &o.calibrationGeometry, &o.peakToTotal})
    if (!e->empty()) inputs.push_back(*e);
  for (std::size_t a = 0; a < outputs.size(); ++a) {
    const std::string& path = *outputs[a].second;
    if (path.empty() || path == "-") continue;
    for (std::size_t b = a + 1; b < outputs.size(); ++b)
      if (*outputs[b].second != "-" && !outputs[b].second->empty() &&
          sameFile(path, *outputs[b].second))
        return usage(std::string(outputs[a].first) + " and " + outputs[b].first +
                     " name the same file " + printable(path));
    for (const std::string& in : inputs)
      if (sameFile(path, in))
        return usage(std::string(outputs[a].first) + " names the input " + printable(in));
  }
  return o;
}

int runFactors(const FactorsOptions& o, const FactorsServices& services, std::ostream& out,
               std::ostream& err) {
  if (!services.compute) {
    err << "tcsum factors: the complete model is not part of this build\n";
    return kExitFault;
  }
  // The outputs are set up first: one in the way costs no computing.
  std::optional<OutputFile> jsonFile, csvFile, htmlFile;
  try {
    if (!o.json.empty()) jsonFile.emplace(o.json, "JSON output", o.force);
    if (!o.csv.empty()) csvFile.emplace(o.csv, "CSV output", o.force);
    if (!o.html.empty()) htmlFile.emplace(o.html, "HTML output", o.force);
  } catch (const OutputError& e) {
    err << e.what() << '\n';
    return kExitFault;
  }

  std::size_t warned = 0;
  auto warn = [&](const std::string& text) {
    ++warned;
    if (!o.quiet) err << "warning: " << printable(text) << '\n';
  };

  LoadedEfficiency efficiency;
  std::vector<LoadedScheme> loaded;
  try {
    efficiency = loadEfficiency(o);
    if (!o.dataFile.empty()) {
      if (!services.dataFile) throw std::runtime_error("data files are not read in this build");
      loaded = services.dataFile(o.dataFile);
      warn(o.dataFile +
           ": a data file holds neither half-lives nor positrons: every level is taken as "
           "prompt and no annihilation radiation is counted");
    } else {
      if (!services.ensdf) throw std::runtime_error("ENSDF files are not read in this build");
      loaded = services.ensdf(expandPaths(o.ensdf), o.nuclides, o.settings.isomerThreshold);
    }
  } catch (const std::exception& e) {
    err << printable(e.what()) << '\n';
    return kExitFault;
  }
  if (o.simulate && !services.simulate) {
    err << "--simulate: the simulation is not available in this build\n";
    return kExitFault;
  }
  if (loaded.empty()) {
    std::string sought;
    for (const std::string& n : o.nuclides) sought += (sought.empty() ? "" : ", ") + n;
    err << "no decay data set found" << (sought.empty() ? "" : " for " + printable(sought)) << '\n';
    return kExitFault;
  }
  if (o.uTotal && static_cast<int64_t>(o.samples) < tcsum::kMeaningfulSamples)
    warn("--samples " + std::to_string(o.samples) + ": below " +
         std::to_string(kMeaningfulSamples) +
         " samples the standard uncertainty and the 95 % interval are not meaningful");

  FactorsRun run;
  run.program = "tcsum";
  run.version = TCSUM_VERSION;
  run.inputs = o.dataFile.empty() ? o.ensdf : std::vector<std::string>{o.dataFile};
  run.efficiency = efficiency.efficiency->describe();
  run.geometry = efficiency.geometry;
  run.settings = o.settings;
  if (o.simulate) run.simulation = SimulationSettings{*o.simulate, o.seed};
  if (o.uTotal) run.uncertainty = UncertaintySettings{*o.uTotal, *o.uPeak, o.samples, o.seed};
  if (!services.classic)
    run.classicNote = "the classic model's factors are not computed beside these in this build";

  // Every data set on its own: computed on any thread, kept in input order.
  std::vector<DataSetFactors> sets(loaded.size());
  std::vector<std::vector<std::string>> setWarnings(loaded.size());
  const unsigned threads = static_cast<unsigned>(
      o.jobs > 0 ? o.jobs : std::max(1u, std::thread::hardware_concurrency()));
  const SourceEfficiency& source = efficiency.source;
  auto computeSet = [&](std::size_t k, unsigned simulationThreads) {
    DataSetFactors& set = sets[k];
    set.scheme = loaded[k].scheme;
    set.refusal = loaded[k].refusal;
    std::vector<std::string>& w = setWarnings[k];
    w = loaded[k].warnings;
    if (!set.refusal.empty()) return;
    const std::string name = set.scheme.dsid.empty() ? set.scheme.name : set.scheme.dsid;
    try {
      // A sample's check with the refined quadrature is a computation as
      // long as the result's: beside it on a thread of its own where the
      // run has more than one.
      Result refined;
      std::exception_ptr refinedFault;
      std::jthread beside;
      auto check = [&] {
        try {
          refined = services.compute(set.scheme, efficiency.refined, o.settings);
        } catch (...) {
          refinedFault = std::current_exception();
        }
      };
      if (run.geometry && threads > 1) beside = std::jthread(check);
      set.result = services.compute(set.scheme, source, o.settings);
      if (run.geometry && threads == 1) check();
      if (beside.joinable()) beside.join();
      if (refinedFault) std::rethrow_exception(refinedFault);
      std::vector<double> energies;
      for (const Photon& p : set.result.photons) energies.push_back(p.energy);
      std::sort(energies.begin(), energies.end());
      energies.erase(std::unique(energies.begin(), energies.end()), energies.end());
      for (const std::string& f : efficiency.findings(energies)) w.push_back(name + ": " + f);
      for (const std::string& m : set.result.warnings) w.push_back(name + ": " + m);
      std::vector<double> unseen;
      for (const LineResult& line : set.result.lines) {
        if (line.kind == LineKind::sum || (std::isfinite(line.factor) && line.factor > 0.0)) continue;
        // A photon the model's crystal does not see (absorbed on its way)
        // has no count and so no factor; said once for all of them.
        if (run.geometry && line.rate == 0.0) {
          unseen.push_back(line.energy);
          continue;
        }
        w.push_back(name + ": " + lineKindName(line.kind) + " " + numberText(line.energy) +
                    " keV: factor " + numberText(line.factor) + " is not a positive number");
      }
      if (!unseen.empty())
        w.push_back(name + ": photons of " + energyList(unseen) +
                    " keV do not reach the active germanium (absorbed on the way): no count, no factor");
      if (run.geometry) sampleChecks(set, efficiency, o.settings, services, refined);
      if (run.uncertainty)
        set.uncertainty = uncertaintyOf(set, source, o.settings, *run.uncertainty, services);
      if (run.simulation)
        set.simulated = services.simulate(set.scheme, source, o.settings, set.result,
                                          *run.simulation, simulationThreads);
      if (services.classic)
        set.classic = services.classic(set.scheme, *efficiency.efficiency, set.result,
                                       set.classicNote);
    } catch (const std::exception& e) {
      set.refusal = set.scheme.source + ":" + std::to_string(set.scheme.record) + ": " + name +
                    ": the model failed: " + e.what();
      set.result = {};
    }
  };
  if (run.simulation) {
    // The simulation spreads its decays over the threads instead.
    for (std::size_t k = 0; k < sets.size(); ++k) computeSet(k, threads);
  } else {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
      for (std::size_t k; (k = next.fetch_add(1)) < sets.size();) computeSet(k, 1);
    };
    std::vector<std::jthread> pool;
    for (unsigned t = 1; t < std::min<std::size_t>(threads, sets.size()); ++t) pool.emplace_back(worker);
    worker();
  }

  std::size_t computed = 0;
  for (std::size_t k = 0; k < sets.size(); ++k) {
    for (const std::string& w : setWarnings[k]) warn(w);
    if (!sets[k].refusal.empty()) {
      ++warned;
      err << "refused: " << printable(sets[k].refusal) << '\n';
    } else {
      ++computed;
    }
  }

  bool failed = false;
  auto write = [&](std::optional<OutputFile>& file, auto text) {
    if (!file) return;
    try {
      file->write(text(run, sets));
      file->commit();
    } catch (const OutputError& e) {
      err << e.what() << '\n';
      failed = true;
    }
  };
  if (computed > 0) {
    write(jsonFile, factorsJson);
    write(csvFile, factorsCsv);
    write(htmlFile, [&](const FactorsRun& r, std::span<const DataSetFactors> d) {
      return factorsHtml(r, d, efficiency.htmlSection);
    });
  }
  if (o.json != "-" && o.csv != "-" && o.html != "-") {
    out << factorsTable(run, sets) << std::flush;
    if (!out) {
      err << "cannot write the table to standard output\n";
      failed = true;
    }
  }
  if (computed == 0) {
    err << "no data set computed\n";
    return kExitFault;
  }
  if (failed) return kExitFault;
  return o.strict && warned > 0 ? kExitWarned : 0;
}

}  // namespace tcsum::complete
