#include "driver/efficiency_command.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/command_line.hpp"
#include "core/fatal.hpp"
#include "geometry/model.hpp"
#include "geometry/xcom.hpp"
#include "html/geometry.hpp"
#include "outputs/output_file.hpp"

namespace tcsum::geometry {

namespace {

constexpr const char* kFooter = R"(Lengths in the descriptions in mm, densities in g/cm3 (see the README,
chapter "Detector and source geometry"). The total efficiency is the
probability of a first interaction in the active germanium; the peak
efficiency is transferred from a calibration measured in a reference
geometry with the same detector, or made from a peak-to-total curve.

Examples:
  tcsum efficiency --detector detector.toml --source beaker.toml \
        --calibration point10cm.csv --calibration-geometry point10cm.toml -o beaker.csv
  tcsum efficiency --detector detector.toml --source point10cm.toml \
        --peak-to-total pt.csv --energies 59.5,122,661.7,1332.5
)";

// Enough the table's energies have a spacing the eye can follow.
constexpr int kDefaultEnergyCount = 60;
constexpr double kDefaultLowest = 30.0;
constexpr double kDefaultHighest = 3000.0;
// Check energies of the accuracy estimate.
constexpr int kAccuracyEnergies = 5;

void appendNumber(std::string& out, double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
}

std::string numberText(double value) {
  std::string s;
  appendNumber(s, value);
  return s;
}

// An energy of the calibration as its file gives it (it comes back from
// its logarithm): six significant digits.
std::string energyText(double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  return std::string(buffer, end);
}

std::optional<std::vector<double>> parseEnergies(const std::string& list) {
  std::vector<double> out;
  std::string_view rest = list;
  for (;;) {
    std::size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    double value = 0.0;
    auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (ec != std::errc() || end != item.data() + item.size() || !(value >= kXcomMinEnergy) ||
        !(value <= kXcomMaxEnergy))
      return std::nullopt;
    out.push_back(value);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return out;
}

// The check energies: the ends of the table and evenly spread ones between.
std::vector<double> checkEnergies(const std::vector<double>& energies) {
  std::vector<double> sorted = energies;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  if (sorted.size() <= kAccuracyEnergies) return sorted;
  std::vector<double> out;
  for (int k = 0; k < kAccuracyEnergies; ++k)
    out.push_back(sorted[(sorted.size() - 1) * k / (kAccuracyEnergies - 1)]);
  return out;
}

void appendAccuracy(std::string& csv, const char* geometry, const Accuracy& a) {
  for (std::size_t k = 0; k < a.energies.size(); ++k) {
    csv += geometry;
    csv += ',';
    appendNumber(csv, a.energies[k]);
    csv += ',';
    appendNumber(csv, a.total[k]);
    csv += ',';
    appendNumber(csv, a.refined[k]);
    csv += ',';
    appendNumber(csv, a.refined[k] > 0.0 ? (a.total[k] - a.refined[k]) / a.refined[k] : 0.0);
    csv += '\n';
  }
}

std::string ordersText(const Orders& o) {
  return std::to_string(o.volume) + "/" + std::to_string(o.polar) + "/" + std::to_string(o.azimuth);
}

}  // namespace

std::vector<double> defaultEnergies() {
  std::vector<double> out;
  for (int k = 0; k < kDefaultEnergyCount; ++k)
    out.push_back(kDefaultLowest *
                  std::pow(kDefaultHighest / kDefaultLowest, static_cast<double>(k) / (kDefaultEnergyCount - 1)));
  out.back() = kDefaultHighest;
  return out;
}

int runEfficiency(int argc, char** argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Efficiencies of a sample from a model of its detector and source", "tcsum efficiency"};
  app.footer(kFooter);
  std::string detector, source, energies, output = "-", accuracyFile, htmlFile;
  Calibration calibration;
  bool force = false;
  app.add_option("--detector", detector, "Description of the detector (TOML)")->required()->type_name("FILE");
  app.add_option("--source", source, "Description of the source: sample, container, matrix (TOML)")
      ->required()
      ->type_name("FILE");
  auto* cal = app.add_option("--calibration", calibration.file,
                             "Measured efficiencies in the reference geometry: energy_keV,peak[,total]")
                  ->type_name("FILE");
  auto* geo = app.add_option("--calibration-geometry", calibration.geometryFile,
                             "Description of the calibration source (TOML; the detector is the same)")
                  ->type_name("FILE");
  auto* pt = app.add_option("--peak-to-total", calibration.peakToTotal,
                            "Peak-to-total curve energy_keV,peak_to_total instead of a calibration")
                 ->type_name("FILE");
  cal->needs(geo);
  geo->needs(cal);
  pt->excludes(cal)->excludes(geo);
  app.add_option("--energies", energies,
                 "Energies in keV, comma-separated (default: 60 from 30 keV to 3000 keV, even in log E)")
      ->type_name("LIST");
  app.add_option("-o,--output", output, "Output CSV energy_keV,total,peak (default - = standard output)")
      ->type_name("FILE");
  app.add_option("--accuracy", accuracyFile,
                 "Also write the integration check: geometry,energy_keV,total,total_refined,relative_difference")
      ->type_name("FILE");
  app.add_option("--html", htmlFile,
                 "Also write a page: the cross-section of detector and source to scale, the curves and the table")
      ->type_name("FILE");
  app.add_flag("--force", force, "Replace existing output files");
  try {
    app.parse(argc, argv);
    if (calibration.file.empty() && calibration.peakToTotal.empty())
      throw CLI::ValidationError("the peak efficiency needs --calibration with --calibration-geometry, or --peak-to-total");
  } catch (const CLI::ParseError& failure) {
    if (failure.get_exit_code() == 0) {
      app.exit(failure, out, err);
      return 0;
    }
    err << "tcsum efficiency: " << failure.what() << " (see tcsum efficiency --help)\n";
    return kExitUsage;
  }
  std::vector<double> grid = defaultEnergies();
  if (!energies.empty()) {
    auto list = parseEnergies(energies);
    if (!list) {
      err << "tcsum efficiency: --energies: a comma-separated list of energies from 1 keV to 100 GeV expected: "
          << quoted(energies) << " (see tcsum efficiency --help)\n";
      return kExitUsage;
    }
    grid = *list;
  }
  if ((output != "-" && (output == accuracyFile || output == htmlFile)) ||
      (!htmlFile.empty() && htmlFile == accuracyFile)) {
    err << "tcsum efficiency: -o, --accuracy and --html name the same file (see tcsum efficiency --help)\n";
    return kExitUsage;
  }

  try {
    // Existing files are refused before anything is computed.
    std::optional<OutputFile> table;
    if (output != "-") table.emplace(output, "efficiency table", force);
    std::optional<OutputFile> accuracyOut;
    if (!accuracyFile.empty()) accuracyOut.emplace(accuracyFile, "accuracy table", force);
    std::optional<OutputFile> page;
    if (!htmlFile.empty()) page.emplace(htmlFile, "HTML page", force);

    SampleEfficiency s = sourceEfficiency(detector, source, calibration);
    std::string csv = "energy_keV,total,peak\n";
    std::vector<EfficiencyPair> values(grid.size());
    s.average->at(grid, values);
    for (std::size_t k = 0; k < grid.size(); ++k) {
      double e = grid[k];
      const EfficiencyPair& p = values[k];
      appendNumber(csv, e);
      csv += ',';
      appendNumber(csv, p.total);
      csv += ',';
      appendNumber(csv, p.peak);
      csv += '\n';
    }

    // Energies beyond the calibration: its end intervals extended.
    auto [lo, hi] = std::minmax_element(grid.begin(), grid.end());
    const LogLogCurve& curve = s.rule->peakPerTotal;
    if (*lo < curve.lowest() * (1 - 1e-12) || *hi > curve.highest() * (1 + 1e-12))
      err << "warning: energies from " << numberText(*lo) << " keV to " << numberText(*hi)
          << " keV reach beyond the " << (calibration.peakToTotal.empty() ? "calibration" : "peak-to-total curve")
          << " (" << energyText(curve.lowest()) << " keV to " << energyText(curve.highest())
          << " keV): the peak efficiency there is extrapolated log-log\n";

    std::vector<double> checks = checkEnergies(grid);
    Accuracy sample = estimateAccuracy(s.geometry, *s.sample, checks);
    std::string accuracyCsv = "geometry,energy_keV,total,total_refined,relative_difference\n";
    appendAccuracy(accuracyCsv, "sample", sample);
    std::string integration = "integration: total efficiency of the sample within " +
                              numberText(sample.maxRelative()) + " (largest relative change at " +
                              std::to_string(checks.size()) + " energies with the quadrature orders " +
                              ordersText(s.sample->orders) + " raised by one; " +
                              std::to_string(s.sample->points.size()) + " emission points, " +
                              std::to_string(s.sample->rayCount()) + " rays)";
    if (s.reference) {
      Geometry reference = loadGeometry(detector, calibration.geometryFile);
      Accuracy ref = estimateAccuracy(reference, *s.reference, checks);
      appendAccuracy(accuracyCsv, "reference", ref);
      integration += "; of the reference within " + numberText(ref.maxRelative());
    }
    err << integration << '\n';
    if (page) {
      std::vector<html::CurvePoint> curve;
      for (std::size_t k = 0; k < grid.size(); ++k) curve.push_back({grid[k], values[k].total, values[k].peak});
      std::sort(curve.begin(), curve.end(),
                [](const html::CurvePoint& a, const html::CurvePoint& b) { return a.energy < b.energy; });
      page->write(html::efficiencyPage(
          s.geometry, curve,
          {{"Detector", s.geometry.detectorSummary + " (" + detector + ")"},
           {"Source", s.geometry.sourceSummary + " (" + source + ")"},
           {"Peak efficiency", s.rule->describe}},
          {integration}));
    }

    if (table) {
      table->write(csv);
      table->commit();
    } else {
      out << csv << std::flush;
      if (!out) {
        err << "cannot write the efficiency table to standard output\n";
        return kExitRunStopped;
      }
    }
    if (accuracyOut) {
      accuracyOut->write(accuracyCsv);
      accuracyOut->commit();
    }
    if (page) page->commit();
    return 0;
  } catch (const OutputError& e) {
    err << e.what() << '\n';
  } catch (const DescriptionError& e) {
    err << e.what() << '\n';
  } catch (const std::invalid_argument& e) {
    err << e.what() << '\n';
  }
  return kExitRunStopped;
}

}  // namespace tcsum::geometry
