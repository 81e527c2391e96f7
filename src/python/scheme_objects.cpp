#include "python/bindings.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>

#include <pybind11/stl.h>

#include "atomic/atomic.hpp"
#include "complete/model.hpp"
#include "core/scheme.hpp"
#include "driver/factors.hpp"
#include "driver/factors_command.hpp"
#include "ensdf/number.hpp"

namespace py = pybind11;
using namespace pybind11::literals;

namespace tcsum::python {

namespace {

// The value of KEY in ENTRY (a dict) as a double; FALLBACK when absent.
// Keys not in KNOWN are refused, so a misspelt key is not silently dropped.
class Entry {
 public:
  Entry(py::handle entry, const char* what, std::size_t index, std::set<std::string> known)
      : what_(std::string(what) + " " + std::to_string(index)) {
    if (!py::isinstance<py::dict>(entry))
      throw ModuleError(what_ + ": a dict is needed, not " +
                        py::str(py::type::of(entry).attr("__name__")).cast<std::string>());
    dict_ = py::reinterpret_borrow<py::dict>(entry);
    for (auto [key, value] : dict_) {
      const std::string name = py::str(key);
      if (!known.count(name)) throw ModuleError(what_ + ": unknown key " + py::repr(key).cast<std::string>());
    }
  }

  bool has(const char* key) const { return dict_.contains(key) && !dict_[key].is_none(); }

  double number(const char* key, std::optional<double> fallback = std::nullopt) const {
    if (!has(key)) {
      if (fallback) return *fallback;
      throw ModuleError(what_ + ": " + key + " is missing");
    }
    double v = 0.0;
    try {
      v = dict_[key].cast<double>();
    } catch (const py::cast_error&) {
      throw ModuleError(what_ + ": " + key + " is not a number");
    }
    if (std::isnan(v)) throw ModuleError(what_ + ": " + key + " is NaN");
    return v;
  }

  int32_t index(const char* key) const {
    if (!has(key)) throw ModuleError(what_ + ": " + key + " is missing");
    try {
      return dict_[key].cast<int32_t>();
    } catch (const py::cast_error&) {
      throw ModuleError(what_ + ": " + key + " is not a level index");
    }
  }

  const std::string& what() const { return what_; }

 private:
  std::string what_;
  py::dict dict_;
};

void requireFinite(const Entry& e, const char* key, double v, bool nonNegative) {
  if (!std::isfinite(v) || (nonNegative && v < 0.0))
    throw ModuleError(e.what() + ": " + key + " must be " +
                      (nonNegative ? "finite and not negative" : "finite"));
}

SchemeLevel levelOf(py::handle item, std::size_t k) {
  const Entry e(item, "level", k,
                {"energy_keV", "feeding_percent", "k_capture_fraction", "l_capture_fraction",
                 "beta_plus_percent", "half_life_s"});
  SchemeLevel l;
  l.energy = e.number("energy_keV");
  requireFinite(e, "energy_keV", l.energy, true);
  l.feeding = e.number("feeding_percent", 0.0);
  requireFinite(e, "feeding_percent", l.feeding, false);
  l.kCaptureFraction = e.number("k_capture_fraction", 0.0);
  if (!(l.kCaptureFraction >= 0.0 && l.kCaptureFraction <= 1.0))
    throw ModuleError(e.what() + ": k_capture_fraction must lie in 0 ... 1");
  if (e.has("l_capture_fraction")) {
    l.lCaptureFraction = e.number("l_capture_fraction");
    if (!(*l.lCaptureFraction >= 0.0 && *l.lCaptureFraction <= 1.0))
      throw ModuleError(e.what() + ": l_capture_fraction must lie in 0 ... 1");
  }
  l.betaPlus = e.number("beta_plus_percent", 0.0);
  requireFinite(e, "beta_plus_percent", l.betaPlus, true);
  if (e.has("half_life_s")) {
    l.halfLife = e.number("half_life_s");
    if (*l.halfLife < 0.0) throw ModuleError(e.what() + ": half_life_s is negative");
  }
  return l;
}

SchemeTransition transitionOf(py::handle item, std::size_t k, const DecayScheme& s) {
  const Entry e(item, "transition", k,
                {"upper", "lower", "energy_keV", "gamma_percent", "alpha", "alpha_k", "alpha_l"});
  SchemeTransition t;
  t.upper = e.index("upper");
  t.lower = e.index("lower");
  const auto levels = static_cast<int32_t>(s.levels.size());
  if (t.upper < 0 || t.upper >= levels || t.lower < 0 || t.lower >= levels)
    throw ModuleError(e.what() + ": upper and lower must be indexes of the levels (0 ... " +
                      std::to_string(levels - 1) + ")");
  if (s.levels[static_cast<std::size_t>(t.lower)].energy >=
      s.levels[static_cast<std::size_t>(t.upper)].energy)
    throw ModuleError(e.what() + ": the lower level is not below the upper one");
  const double gap = s.levels[static_cast<std::size_t>(t.upper)].energy -
                     s.levels[static_cast<std::size_t>(t.lower)].energy;
  t.energy = e.number("energy_keV", gap);
  if (!(t.energy > 0.0) || !std::isfinite(t.energy))
    throw ModuleError(e.what() + ": energy_keV must be positive");
  t.gamma = e.number("gamma_percent");
  requireFinite(e, "gamma_percent", t.gamma, true);
  t.alpha = e.number("alpha", 0.0);
  requireFinite(e, "alpha", t.alpha, true);
  t.alphaK = e.number("alpha_k", 0.0);
  requireFinite(e, "alpha_k", t.alphaK, true);
  if (t.alphaK > t.alpha) throw ModuleError(e.what() + ": alpha_k exceeds alpha");
  if (e.has("alpha_l")) {
    t.alphaL = e.number("alpha_l");
    requireFinite(e, "alpha_l", *t.alphaL, true);
  }
  return t;
}

py::object optionalNumber(const std::optional<double>& v) {
  if (!v) return py::none();
  return py::float_(*v);
}

py::list levelDicts(const DecayScheme& s) {
  py::list out;
  for (const SchemeLevel& l : s.levels)
    out.append(py::dict("energy_keV"_a = l.energy, "feeding_percent"_a = l.feeding,
                        "k_capture_fraction"_a = l.kCaptureFraction,
                        "l_capture_fraction"_a = optionalNumber(l.lCaptureFraction),
                        "beta_plus_percent"_a = l.betaPlus,
                        "half_life_s"_a = optionalNumber(l.halfLife)));
  return out;
}

py::list transitionDicts(const DecayScheme& s) {
  py::list out;
  for (const SchemeTransition& t : s.transitions)
    out.append(py::dict("upper"_a = t.upper, "lower"_a = t.lower, "energy_keV"_a = t.energy,
                        "gamma_percent"_a = t.gamma, "alpha"_a = t.alpha, "alpha_k"_a = t.alphaK,
                        "alpha_l"_a = optionalNumber(t.alphaL)));
  return out;
}

AtomicData atomicOf(const py::dict& d) {
  AtomicData a;
  for (auto [key, value] : d) {
    const std::string name = py::str(key);
    if (name == "omega_k") {
      a.omegaK = value.cast<double>();
    } else if (name == "omega_l") {
      a.omegaL = value.cast<double>();
    } else if (name == "l_energy_keV") {
      a.lEnergy = value.cast<double>();
    } else if (name == "k_lines") {
      for (py::handle line : value) {
        const auto t = line.cast<py::tuple>();
        if (t.size() != 3) throw ModuleError("xrays: a K line is (label, energy_keV, share)");
        a.kLines.push_back({t[0].cast<std::string>(), t[1].cast<double>(), t[2].cast<double>()});
      }
    } else {
      throw ModuleError("xrays: unknown key " + py::repr(key).cast<std::string>());
    }
  }
  if (!(a.omegaK >= 0.0 && a.omegaK <= 1.0) || !(a.omegaL >= 0.0 && a.omegaL <= 1.0))
    throw ModuleError("xrays: the fluorescence yields must lie in 0 ... 1");
  double shares = 0.0;
  for (const AtomicLine& l : a.kLines) {
    if (!(l.energy > 0.0) || !(l.share >= 0.0)) throw ModuleError("xrays: K line " + l.label + " has no positive energy and share");
    shares += l.share;
  }
  if (!a.kLines.empty() && std::fabs(shares - 1.0) > 1e-6)
    throw ModuleError("xrays: the shares of the K lines do not add up to 1");
  return a;
}

py::dict atomicDict(const AtomicData& a) {
  py::list lines;
  for (const AtomicLine& l : a.kLines)
    lines.append(py::make_tuple(l.label, l.energy, l.share));
  return py::dict("omega_k"_a = a.omegaK, "k_lines"_a = lines, "omega_l"_a = a.omegaL,
                  "l_energy_keV"_a = a.lEnergy);
}

DecayScheme fromLists(const py::sequence& levels, const py::sequence& transitions,
                      const std::string& name, const std::string& parent,
                      const std::string& decayMode, int32_t daughterZ,
                      const std::optional<py::dict>& xrays) {
  DecayScheme s;
  s.name = name;
  s.parent = parent;
  s.decayMode = decayMode;
  s.electronCapture = decayMode == "EC" || decayMode == "B+";
  if (daughterZ < 0 || daughterZ > 110)
    throw ModuleError("daughter_z: " + std::to_string(daughterZ) + " is no element");
  s.daughterZ = daughterZ;
  s.source = "<lists>";
  for (std::size_t k = 0; k < levels.size(); ++k)
    s.levels.push_back(levelOf(levels[k], k));
  if (s.levels.empty()) throw ModuleError("a decay scheme needs at least one level");
  for (std::size_t k = 1; k < s.levels.size(); ++k) {
    if (!(s.levels[k].energy > s.levels[k - 1].energy))
      throw ModuleError("level " + std::to_string(k) +
                        ": the levels must be given in ascending energy");
  }
  if (s.levels.front().energy != 0.0)
    throw ModuleError("level 0: the first level is the ground state, at 0 keV");
  for (std::size_t k = 0; k < transitions.size(); ++k)
    s.transitions.push_back(transitionOf(transitions[k], k, s));
  if (xrays) {
    s.atomic = atomicOf(*xrays);
  } else if (daughterZ > 0) {
    s.atomic = atomic::atomicData(daughterZ);
  }
  return s;
}

// What a reader gave: its warnings issued, the refused data sets named in
// warnings ("refused: ..."), the others returned. A fault when it found
// nothing, or refused everything.
std::vector<DecayScheme> schemesRead(std::vector<complete::LoadedScheme> loaded,
                                     const std::string& sought) {
  std::vector<std::string> warnings, refusals;
  std::vector<DecayScheme> out;
  for (complete::LoadedScheme& l : loaded) {
    warnings.insert(warnings.end(), l.warnings.begin(), l.warnings.end());
    if (!l.refusal.empty()) {
      refusals.push_back(l.refusal);
      warnings.push_back("refused: " + l.refusal);
    } else {
      out.push_back(std::move(l.scheme));
    }
  }
  if (loaded.empty()) throw ModuleError("no decay data set found" + sought);
  if (out.empty()) throw ModuleError("refused: " + refusals.front());
  issueWarnings(warnings);
  return out;
}

std::vector<DecayScheme> fromEnsdf(const py::object& paths, const std::string& nuclide,
                                   const py::object& isomerThreshold) {
  std::vector<std::string> given;
  if (py::isinstance<py::str>(paths) || py::hasattr(paths, "__fspath__"))
    given.push_back(py::str(paths));
  else
    for (py::handle p : paths) given.push_back(py::str(p));
  if (given.empty()) throw ModuleError("from_ensdf: no ENSDF file or folder given");
  if (nuclide != "all" && !complete::nuclideNameForm(nuclide))
    throw ModuleError("nuclide: \"" + nuclide + "\" is not a nuclide such as Eu-152, EU152 or 152EU");
  const double threshold = secondsOf(isomerThreshold);
  std::vector<complete::LoadedScheme> loaded;
  {
    py::gil_scoped_release free;
    loaded = factorsServices().ensdf(complete::expandPaths(given), {nuclide}, threshold);
  }
  return schemesRead(std::move(loaded), " for " + nuclide);
}

std::vector<DecayScheme> fromDataFile(const std::string& path) {
  std::vector<complete::LoadedScheme> loaded;
  {
    py::gil_scoped_release free;
    loaded = factorsServices().dataFile(path);
  }
  if (!loaded.empty())
    loaded.front().warnings.push_back(
        path + ": a data file holds neither half-lives nor positrons: every level is taken as "
               "prompt and no annihilation radiation is counted");
  return schemesRead(std::move(loaded), "");
}

}  // namespace

double secondsOf(const py::object& time) {
  std::optional<double> seconds;
  if (py::isinstance<py::str>(time)) {
    seconds = ensdf::parseDuration(time.cast<std::string>());
  } else {
    try {
      seconds = time.cast<double>();
    } catch (const py::cast_error&) {
    }
  }
  if (!seconds || std::isnan(*seconds) || *seconds < 0.0)
    throw ModuleError("isomer_threshold: cannot read " + py::repr(time).cast<std::string>() +
                      " as a time (seconds, or a text such as \"1 us\")");
  return *seconds;
}

void defineScheme(py::module_& m) {
  py::class_<DecayScheme>(m, "DecayScheme",
                          "A decay scheme: the daughter's levels with their feeding, the "
                          "transitions between them, and the daughter's x-rays.")
      .def(py::init(&fromLists), "levels"_a, "transitions"_a, py::kw_only(), "name"_a = "",
           "parent"_a = "", "decay_mode"_a = "", "daughter_z"_a = 0, "xrays"_a = py::none(),
           "A scheme from lists.\n\n"
           "levels: dicts in ascending energy, the ground state first, with energy_keV and "
           "optionally feeding_percent (direct feeding, percent of decays), "
           "k_capture_fraction and l_capture_fraction (of the capture feeding), "
           "beta_plus_percent (the part of the feeding with a positron), half_life_s "
           "(None: unknown, inf: stable).\n"
           "transitions: dicts with upper and lower (indexes into levels), gamma_percent "
           "(gamma rays per 100 decays) and optionally energy_keV (default: the levels' "
           "difference), alpha, alpha_k, alpha_l (conversion coefficients).\n"
           "decay_mode: \"B-\", \"EC\", \"B+\", \"IT\"; daughter_z: the daughter's atomic number.\n"
           "xrays: the daughter's x-rays, a dict with omega_k, k_lines (a list of (label, "
           "energy_keV, share)), omega_l, l_energy_keV; default: those of the element "
           "daughter_z from the atomic data, as for ENSDF (none when daughter_z is 0; {} "
           "for none).")
      .def_static("from_ensdf", &fromEnsdf, "paths"_a, "nuclide"_a, py::kw_only(),
                  "isomer_threshold"_a = 1e-6,
                  "The decay data sets of the parent NUCLIDE (Eu-152, EU152, 152EU, HO166M; "
                  "\"all\" for every one) in the ENSDF files PATHS (a file, a folder: every "
                  "file in it in name order, or a list of them), with the daughter's x-rays "
                  "from the atomic data, as tcsum factors --ensdf PATHS --nuclide NUCLIDE reads "
                  "them. A list: one scheme per decay data set (Eu-152 has two, EC and B-). "
                  "The converter's warnings are issued as TcsumWarning; a data set it refuses "
                  "is left out with a warning \"refused: ...\"; tcsum.Error when none is "
                  "found or every one is refused. isomer_threshold: seconds or a text such as "
                  "\"1 us\", as in the converter's warnings.")
      .def_static("from_data_file", &fromDataFile, "path"_a,
                  "The data sets of a data file as schemes, as tcsum factors -i PATH reads "
                  "them: no half-lives and no positrons (every level prompt), a single K "
                  "x-ray line at the data set's E(X) with OMEGAK. The data file's efficiency "
                  "table is not part of a scheme.")
      .def_readonly("name", &DecayScheme::name, "The data set's name.")
      .def_readonly("parent", &DecayScheme::parent, "The parent nuclide; empty when not known.")
      .def_readonly("dsid", &DecayScheme::dsid, "The ENSDF data-set identification.")
      .def_readonly("decay_mode", &DecayScheme::decayMode, "The decay mode as read.")
      .def_readonly("daughter_z", &DecayScheme::daughterZ,
                    "The daughter's atomic number; 0 when not known.")
      .def_readonly("source", &DecayScheme::source, "The file it was read from.")
      .def_property_readonly("levels", &levelDicts,
                             "The levels as dicts (the keys the constructor takes).")
      .def_property_readonly("transitions", &transitionDicts,
                             "The transitions as dicts (the keys the constructor takes).")
      .def_property_readonly(
          "xrays", [](const DecayScheme& s) { return atomicDict(s.atomic); },
          "The daughter's x-rays: omega_k, k_lines, omega_l, l_energy_keV.")
      .def("__repr__", [](const DecayScheme& s) {
        return "<tcsum.DecayScheme " + py::repr(py::str(s.name)).cast<std::string>() + ", " +
               std::to_string(s.levels.size()) + " levels, " +
               std::to_string(s.transitions.size()) + " transitions>";
      });
}

}  // namespace tcsum::python
