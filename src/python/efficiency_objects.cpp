// tcsum.Efficiency: the detector's total and peak efficiencies as the
// complete model takes them, from points (a table interpolated in log-log
// space), a CSV file, curve coefficients or a TOML curve file. Points and
// coefficients go through the same strict readers as the files, so what a
// file may not hold is refused from arrays too.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "efficiency/csv_table.hpp"
#include "efficiency/log_curve.hpp"
#include "efficiency/loglog_table.hpp"
#include "efficiency/text_file.hpp"
#include "geometry/model.hpp"
#include "python/bindings.hpp"

namespace py = pybind11;
using namespace pybind11::literals;

namespace tcsum::python {

namespace {

// A warning lists at most this many energies.
constexpr std::size_t kListedEnergies = 10;

std::string numberText(double value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

EfficiencyObject tableObject(std::vector<efficiency::TablePoint> points, const std::string& name) {
  auto table = std::make_shared<efficiency::LogLogTable>(std::move(points), name);
  return {table, [table, name](std::span<const double> energies) {
            std::vector<std::string> out;
            const std::vector<double> outside = table->outsideTable(energies);
            if (outside.empty()) return out;
            std::string list;
            for (std::size_t k = 0; k < outside.size() && k < kListedEnergies; ++k)
              list += (k ? ", " : "") + numberText(outside[k]);
            if (outside.size() > kListedEnergies)
              list += " and " + std::to_string(outside.size() - kListedEnergies) + " more";
            out.push_back("efficiency table " + name + ": photon energies outside the table (" +
                          numberText(table->table().front().energy) + " to " +
                          numberText(table->table().back().energy) +
                          " keV), continued in log-log from its end intervals: " + list + " keV");
            return out;
          }, {}};
}

EfficiencyObject curveObject(efficiency::LogPolynomialCurve read) {
  auto curve = std::make_shared<efficiency::LogPolynomialCurve>(std::move(read));
  return {curve, [curve](std::span<const double> energies) { return curve->findings(energies); }, {}};
}

std::vector<double> numbersOf(const py::array_t<double, py::array::forcecast>& a, const char* what) {
  if (a.ndim() != 1) throw ModuleError(std::string(what) + ": a one-dimensional sequence is needed");
  std::vector<double> out(static_cast<std::size_t>(a.size()));
  auto view = a.unchecked<1>();
  for (py::ssize_t k = 0; k < a.size(); ++k) out[static_cast<std::size_t>(k)] = view(k);
  return out;
}

// The reason of a reader's "NAME:LINE: reason".
std::string reasonOf(const std::string& what, const std::string& name) {
  if (what.rfind(name + ":", 0) != 0) return what;
  const std::size_t end = what.find(": ", name.size() + 1);
  return end == std::string::npos ? what : what.substr(end + 2);
}

EfficiencyObject fromPoints(const py::array_t<double, py::array::forcecast>& energies,
                            const py::array_t<double, py::array::forcecast>& total,
                            const py::array_t<double, py::array::forcecast>& peak,
                            const std::string& name) {
  const std::vector<double> e = numbersOf(energies, "energies_keV");
  const std::vector<double> t = numbersOf(total, "total");
  const std::vector<double> p = numbersOf(peak, "peak");
  if (t.size() != e.size() || p.size() != e.size())
    throw ModuleError("energies_keV, total and peak must be of one length (" +
                      std::to_string(e.size()) + ", " + std::to_string(t.size()) + ", " +
                      std::to_string(p.size()) + ")");
  // The table as a CSV text of shortest decimals, which read back exactly.
  std::string csv = "energy_keV,total,peak\n";
  for (std::size_t k = 0; k < e.size(); ++k)
    csv += numberText(e[k]) + "," + numberText(t[k]) + "," + numberText(p[k]) + "\n";
  std::vector<efficiency::TablePoint> points;
  try {
    points = efficiency::parseEfficiencyCsv(csv, name);
  } catch (const efficiency::InputFileError& error) {
    // Line k + 2 of the text is point k.
    const std::string what = error.what();
    std::string where = name;
    int line = 0;
    const auto [end, ec] = std::from_chars(what.data() + std::min(what.size(), name.size() + 1),
                                           what.data() + what.size(), line);
    if (ec == std::errc{} && what.rfind(name + ":", 0) == 0 && line >= 2 &&
        static_cast<std::size_t>(line - 2) < e.size())
      where += ", point " + std::to_string(line - 2) + " (" + numberText(e[line - 2]) + " keV)";
    (void)end;
    throw ModuleError(where + ": " + reasonOf(what, name));
  }
  return tableObject(std::move(points), name);
}

EfficiencyObject fromCoefficients(const std::vector<double>& total, const std::vector<double>& peak,
                                  const std::string& energyUnit,
                                  const std::optional<std::pair<double, double>>& range,
                                  const std::string& name) {
  // The curve as the TOML text of a curve file, read by its reader.
  auto list = [](const std::vector<double>& c) {
    std::string text = "[";
    for (std::size_t k = 0; k < c.size(); ++k)
      text += (k ? ", " : "") + numberText(c[k]);
    return text + "]";
  };
  for (const std::vector<double>* c : {&total, &peak})
    for (double x : *c)
      if (!std::isfinite(x)) throw ModuleError(name + ": the coefficients must be finite numbers");
  if (energyUnit != "keV" && energyUnit != "MeV")
    throw ModuleError(name + ": energy_unit must be \"keV\" or \"MeV\"");
  std::string toml = "energy_unit = \"" + energyUnit + "\"\n";
  if (range) toml += "energy_range = [" + numberText(range->first) + ", " + numberText(range->second) + "]\n";
  toml += "[total]\ncoefficients = " + list(total) + "\n[peak]\ncoefficients = " + list(peak) + "\n";
  try {
    return curveObject(efficiency::parseEfficiencyCurve(toml, name));
  } catch (const efficiency::InputFileError& error) {
    throw ModuleError(name + ": " + reasonOf(error.what(), name));
  }
}

// The efficiencies of a sample from the geometry model, as tcsum factors
// --detector --source counts them: the mean over the emission points, and
// the points themselves where the summing is counted.
EfficiencyObject fromGeometry(const std::string& detector, const std::string& source,
                              const std::string& calibration, const std::string& calibrationGeometry,
                              const std::string& peakToTotal) {
  if (peakToTotal.empty() == (calibration.empty() || calibrationGeometry.empty()))
    throw ModuleError("from_geometry: give calibration and calibration_geometry, or peak_to_total");
  geometry::SampleEfficiency sample;
  try {
    py::gil_scoped_release free;
    sample = geometry::sourceEfficiency(detector, source, {calibration, calibrationGeometry, peakToTotal},
                                        geometry::kCountedSampleOrders);
  } catch (const std::exception& error) {
    throw ModuleError(error.what());
  }
  const std::string what =
      peakToTotal.empty() ? "calibration " + calibration : "peak-to-total curve " + peakToTotal;
  auto rule = sample.rule;
  EfficiencyObject object{sample.average, [rule, what](std::span<const double> energies) {
                            const double low = rule->peakPerTotal.lowest();
                            const double high = rule->peakPerTotal.highest();
                            std::vector<std::string> outside;
                            for (double e : energies)
                              if (e < low * (1 - 1e-12) || e > high * (1 + 1e-12))
                                outside.push_back(numberText(e));
                            std::vector<std::string> out;
                            if (outside.empty()) return out;
                            std::string list;
                            for (std::size_t k = 0; k < outside.size() && k < kListedEnergies; ++k)
                              list += (k ? ", " : "") + outside[k];
                            if (outside.size() > kListedEnergies)
                              list += " and " + std::to_string(outside.size() - kListedEnergies) + " more";
                            out.push_back(what + ": photon energies outside it (" + numberText(low) +
                                          " to " + numberText(high) +
                                          " keV), the peak efficiency there extrapolated log-log: " +
                                          list + " keV");
                            return out;
                          }, std::move(sample.nodes)};
  return object;
}

// Both efficiencies at every energy of ENERGIES, in arrays of its shape.
py::tuple efficienciesAt(const EfficiencyObject& self,
                         const py::array_t<double, py::array::forcecast | py::array::c_style>& energies) {
  std::vector<py::ssize_t> shape(energies.shape(), energies.shape() + energies.ndim());
  py::array_t<double> total(shape), peak(shape);
  const auto n = static_cast<std::size_t>(energies.size());
  const double* e = energies.data();
  double* t = total.mutable_data();
  double* p = peak.mutable_data();
  {
    py::gil_scoped_release free;
    for (std::size_t k = 0; k < n; ++k) {
      const EfficiencyPair pair = self.efficiency->at(e[k]);
      t[k] = pair.total;
      p[k] = pair.peak;
    }
  }
  return py::make_tuple(total, peak);
}

}  // namespace

void defineEfficiency(py::module_& m) {
  py::class_<EfficiencyObject>(
      m, "Efficiency",
      "The detector's total and full-energy-peak efficiencies (fractions of the photons "
      "emitted) at a photon energy, for the complete model. Made by from_points, from_csv, "
      "from_curve or from_toml; called on energies (keV, a number or an array) it gives the "
      "arrays (total, peak). Every efficiency given out is bounded: the total to at most 1, "
      "the peak to at most the total.")
      .def_static(
          "from_points",
          [](const py::array_t<double, py::array::forcecast>& e,
             const py::array_t<double, py::array::forcecast>& t,
             const py::array_t<double, py::array::forcecast>& p,
             const std::string& name) { return fromPoints(e, t, p, name); },
          "energies_keV"_a, "total"_a, "peak"_a, py::kw_only(), "name"_a = "points",
          "A table of points, interpolated linearly in log-log space and continued from its "
          "end intervals outside it (with a warning when a computation uses that). Energies "
          "ascending, keV; efficiencies fractions (not percent), the peak not above the "
          "total; at least two points. NAME names the table in warnings and faults.")
      .def_static(
          "from_csv",
          [](const std::string& path) {
            return tableObject(efficiency::readEfficiencyCsv(path), path);
          },
          "path"_a,
          "The table of a CSV file with the heading energy_keV,total,peak, as tcsum factors "
          "--efficiency reads it.")
      .def_static("from_curve", &fromCoefficients, "total"_a, "peak"_a, py::kw_only(),
                  "energy_unit"_a = "keV", "energy_range"_a = py::none(), "name"_a = "coefficients",
                  "The curve ln eps = sum c_i (ln E)^i (i = 0 ... n-1, n <= 10) with the "
                  "coefficients TOTAL and PEAK; E in keV, or MeV with energy_unit=\"MeV\". "
                  "energy_range (low, high), keV: where the fit holds (warnings outside it). "
                  "Refused as a curve file would be, e.g. when it gives an efficiency above 1 "
                  "inside its range.")
      .def_static(
          "from_toml",
          [](const std::string& path) { return curveObject(efficiency::readEfficiencyCurve(path)); },
          "path"_a, "The curve of a TOML file, as tcsum factors --curve reads it.")
      .def_static("from_geometry", &fromGeometry, "detector"_a, "source"_a, py::kw_only(),
                  "calibration"_a = "", "calibration_geometry"_a = "", "peak_to_total"_a = "",
                  "The efficiencies of the sample described by the TOML files DETECTOR and "
                  "SOURCE, as tcsum factors --detector --source computes them: the total from "
                  "the geometry model, the peak transferred from CALIBRATION (a CSV "
                  "energy_keV,peak measured in CALIBRATION_GEOMETRY) or from a PEAK_TO_TOTAL "
                  "curve. compute() counts the summing at each emission point of the sample; "
                  "called on energies it gives the mean over them.")
      .def("__call__", &efficienciesAt, "energies_keV"_a,
           "The efficiencies at ENERGIES_KEV (a number or an array): the arrays (total, peak) "
           "of its shape.")
      .def_property_readonly(
          "description", [](const EfficiencyObject& e) { return e.efficiency->describe(); },
          "Where the efficiencies come from, as the outputs name it.")
      .def_property_readonly(
          "points", [](const EfficiencyObject& e) { return e.efficiency->points(); },
          "The independent points an uncertainty run varies: a table's points, 1 for a curve.")
      .def("__repr__", [](const EfficiencyObject& e) {
        return "<tcsum.Efficiency " + e.efficiency->describe() + ">";
      });
}

}  // namespace tcsum::python
