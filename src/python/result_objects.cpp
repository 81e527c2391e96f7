#include "python/bindings.hpp"

#include <cmath>
#include <limits>

#include <pybind11/stl.h>

#include "core/store.hpp"
#include "outputs/text.hpp"

namespace py = pybind11;
using namespace pybind11::literals;

namespace tcsum::python {

namespace {

double wide(float x) {
  return static_cast<double>(x);
}

std::optional<LineUncertainty> uncertaintyOf(const std::optional<FactorUncertainty>& u) {
  if (!u) return std::nullopt;
  return LineUncertainty{wide(u->mean),        wide(u->standard),         wide(u->low95),
                         wide(u->high95),      wide(u->sensitivityTotal), wide(u->sensitivityPeak)};
}

py::object levelIndex(int32_t index) {
  if (index < 0) return py::none();
  return py::int_(index);
}

py::object uncertaintyDict(const std::optional<LineUncertainty>& u) {
  if (!u) return py::none();
  return py::dict("mean"_a = u->mean, "standard"_a = u->standard,
                  "interval95"_a = py::make_tuple(u->low95, u->high95),
                  "sensitivity_total"_a = u->sensitivityTotal,
                  "sensitivity_peak"_a = u->sensitivityPeak);
}

// One line as a dict, with the keys of the JSON output's line objects.
py::dict lineDict(const Line& l) {
  return py::dict("kind"_a = lineKindName(l.line.kind), "label"_a = l.line.label,
                  "upper"_a = levelIndex(l.line.upper), "lower"_a = levelIndex(l.line.lower),
                  "energy_keV"_a = l.line.energy, "emission_percent"_a = l.line.emission,
                  "rate0_percent"_a = l.line.rate0, "rate_percent"_a = l.line.rate,
                  "factor"_a = l.line.factor, "uncertainty"_a = uncertaintyDict(l.uncertainty));
}

std::string lineRepr(const Line& l) {
  std::string text = "<tcsum.Line ";
  text += lineKindName(l.line.kind);
  if (!l.line.label.empty()) text += " " + l.line.label;
  text += " " + py::repr(py::float_(l.line.energy)).cast<std::string>() + " keV factor " +
          py::repr(py::float_(l.line.factor)).cast<std::string>() + ">";
  return text;
}

// The structured array of the lines; the uncertainty columns only when the
// factors have uncertainties.
py::object linesArray(const DataSetLines& r) {
  py::module_ np = py::module_::import("numpy");
  bool uncertain = false;
  for (const Line& l : r.lines)
    uncertain = uncertain || l.uncertainty.has_value();
  py::list dtype;
  dtype.append(py::make_tuple("kind", "U12"));
  dtype.append(py::make_tuple("label", "U8"));
  dtype.append(py::make_tuple("upper", "i4"));
  dtype.append(py::make_tuple("lower", "i4"));
  for (const char* column :
       {"energy_keV", "emission_percent", "rate0_percent", "rate_percent", "factor"})
    dtype.append(py::make_tuple(column, "f8"));
  if (uncertain) {
    for (const char* column : {"factor_mean", "factor_standard", "factor_low95", "factor_high95"})
      dtype.append(py::make_tuple(column, "f8"));
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  py::list rows;
  for (const Line& l : r.lines) {
    py::list row;
    row.append(lineKindName(l.line.kind));
    row.append(l.line.label);
    row.append(l.line.upper);
    row.append(l.line.lower);
    row.append(l.line.energy);
    row.append(l.line.emission);
    row.append(l.line.rate0);
    row.append(l.line.rate);
    row.append(l.line.factor);
    if (uncertain) {
      const LineUncertainty u = l.uncertainty.value_or(LineUncertainty{nan, nan, nan, nan, nan, nan});
      row.append(u.mean);
      row.append(u.standard);
      row.append(u.low95);
      row.append(u.high95);
    }
    rows.append(py::tuple(row));
  }
  return np.attr("array")(rows, "dtype"_a = dtype);
}

}  // namespace

DataSetLines classicLines(const DataSetResult& ds) {
  DataSetLines r;
  r.model = "classic";
  r.name = utf8FromCodePage437(trimmedName(ds.DSNAME));
  // The gamma lines with the intensity of their transition, then the K x-ray
  // line, whose emission the classic results do not hold.
  std::size_t row = 0;
  for (const GammaLine& g : ds.gammas) {
    while (row < ds.transitions.size() &&
           (ds.transitions[row].upper != g.upper || ds.transitions[row].lower != g.lower))
      ++row;
    const double emission =
        row < ds.transitions.size() ? wide(ds.transitions[row].intensity) : 0.0;
    r.lines.push_back({{LineKind::gamma, {}, g.upper - 1, g.lower - 1, wide(g.energy), emission,
                        wide(g.RATE0), wide(g.RATE), wide(g.KORR)},
                       uncertaintyOf(g.uncertainty)});
  }
  if (ds.xray) {
    const XrayLine& x = *ds.xray;
    r.lines.push_back({{LineKind::kxray, "K", -1, -1, wide(x.energy),
                        std::numeric_limits<double>::quiet_NaN(), wide(x.RATE0), wide(x.RATE),
                        wide(x.KORR)},
                       uncertaintyOf(x.uncertainty)});
  }
  for (const Warning& w : ds.warnings)
    r.warnings.push_back(w.text);
  return r;
}

void defineResult(py::module_& m) {
  py::class_<Line>(m, "Line",
                   "One line of a result: a gamma ray, the K or L x-rays, annihilation "
                   "radiation or a coincidence sum peak.")
      .def_property_readonly(
          "kind", [](const Line& l) { return lineKindName(l.line.kind); },
          "\"gamma\", \"kxray\", \"lxray\", \"annihilation\" or \"sum\".")
      .def_property_readonly(
          "label", [](const Line& l) { return l.line.label; },
          "The x-ray line (\"Ka1\", \"K\" ...); empty for the other kinds.")
      .def_property_readonly(
          "upper", [](const Line& l) { return levelIndex(l.line.upper); },
          "A gamma ray's upper level (index into the scheme's levels, 0 = ground state); "
          "None for the other kinds.")
      .def_property_readonly(
          "lower", [](const Line& l) { return levelIndex(l.line.lower); },
          "A gamma ray's lower level (index into the scheme's levels); None for the other kinds.")
      .def_property_readonly(
          "energy_keV", [](const Line& l) { return l.line.energy; }, "Energy, keV.")
      .def_property_readonly(
          "emission_percent", [](const Line& l) { return l.line.emission; },
          "Photons emitted per 100 decays (0 for a sum peak; NaN for the classic K x-ray "
          "line).")
      .def_property_readonly(
          "rate0_percent", [](const Line& l) { return l.line.rate0; },
          "Peak count per 100 decays without coincidences (emission x peak efficiency).")
      .def_property_readonly(
          "rate_percent", [](const Line& l) { return l.line.rate; },
          "Peak count per 100 decays with coincidences.")
      .def_property_readonly(
          "factor", [](const Line& l) { return l.line.factor; },
          "Correction factor rate0 / rate: a measured peak area times it is free of "
          "coincidence summing (NaN where rate is 0).")
      .def_property_readonly(
          "uncertainty", [](const Line& l) { return uncertaintyDict(l.uncertainty); },
          "The factor's uncertainty when it was asked for: a dict with mean, standard, "
          "interval95 (low, high), sensitivity_total, sensitivity_peak; else None.")
      .def("to_dict", &lineDict, "The line as a dict with the JSON output's keys.")
      .def("__repr__", &lineRepr);

  py::class_<DataSetLines>(m, "Result", "The lines of one data set as a model computed them.")
      .def_readonly("model", &DataSetLines::model, "The model: \"classic\" or \"complete\".")
      .def_readonly("name", &DataSetLines::name, "The data set's name.")
      .def_readonly("parent", &DataSetLines::parent,
                    "The parent nuclide (\"CO-60\"); empty when not known.")
      .def_readonly("dsid", &DataSetLines::dsid,
                    "The ENSDF data-set identification; empty for a data file.")
      .def_readonly("lines", &DataSetLines::lines, "The lines, as the outputs list them.")
      .def_readonly("warnings", &DataSetLines::warnings,
                    "The warnings of the data set (also issued as TcsumWarning).")
      .def_property_readonly(
          "settings",
          [](const DataSetLines& r) {
            py::dict d;
            for (const auto& [key, value] : r.settings)
              d[py::str(key)] = value;
            return d;
          },
          "What the model computed with, by name.")
      .def(
          "line",
          [](const DataSetLines& r, double energy, double tolerance, const std::string& kind) {
            const Line* best = nullptr;
            for (const Line& l : r.lines) {
              if (!kind.empty() && kind != lineKindName(l.line.kind)) continue;
              const double off = std::fabs(l.line.energy - energy);
              if (off <= tolerance && (!best || off < std::fabs(best->line.energy - energy)))
                best = &l;
            }
            if (!best)
              throw py::key_error("no line within " + py::repr(py::float_(tolerance)).cast<std::string>() +
                                  " keV of " + py::repr(py::float_(energy)).cast<std::string>() +
                                  " keV");
            return *best;
          },
          "energy_keV"_a, "tolerance"_a = 0.5, "kind"_a = "",
          "The line nearest to ENERGY_KEV within TOLERANCE keV (of KIND when given); "
          "KeyError when there is none.")
      .def(
          "to_dicts",
          [](const DataSetLines& r) {
            py::list out;
            for (const Line& l : r.lines)
              out.append(lineDict(l));
            return out;
          },
          "The lines as a list of dicts with the JSON output's keys (for pandas: "
          "DataFrame(result.to_dicts())).")
      .def("to_numpy", &linesArray,
           "The lines as a numpy structured array: kind, label, upper, lower (-1 where "
           "none), energy_keV, emission_percent, rate0_percent, rate_percent, factor, and "
           "factor_mean, factor_standard, factor_low95, factor_high95 when the factors have "
           "uncertainties. Needs numpy.")
      .def("__len__", [](const DataSetLines& r) { return r.lines.size(); })
      .def(
          "__iter__",
          [](const DataSetLines& r) { return py::make_iterator(r.lines.begin(), r.lines.end()); },
          py::keep_alive<0, 1>())
      .def("__repr__", [](const DataSetLines& r) {
        return "<tcsum.Result " + r.model + " " + py::repr(py::str(r.name)).cast<std::string>() +
               ", " + std::to_string(r.lines.size()) + " lines>";
      });
}

}  // namespace tcsum::python
