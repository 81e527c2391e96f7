#pragma once
// What the parts of the Python module share: the faults and warnings as
// Python sees them, the objects it hands out (results, efficiencies) and
// the functions that define each part in the module. One header for all of
// them, so that the parts include it and never each other.
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>

#include "core/efficiency.hpp"
#include "core/lines.hpp"
#include "core/result.hpp"

namespace tcsum::python {

// Faults and warnings: a fault is raised as tcsum.Error (a ValueError and a
// RuntimeError) with the program's one-line diagnostic; a warning goes
// through Python's warnings module as tcsum.TcsumWarning, with the text the
// command line prints after "warning: ".

// A fault of the program, raised in Python as tcsum.Error with what().
class ModuleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Issues each of TEXTS as a TcsumWarning (the GIL held). A warning that the
// filters turn into an error is raised.
void issueWarnings(const std::vector<std::string>& texts);

// TEXT without the "warning: " the command line starts it with.
std::string warningText(const std::string& text);

// The results of one data set: its lines in the model-neutral form, with the
// uncertainty of each factor where a run computed it, the warnings, and what
// the computation was done with.

// The uncertainty of a factor: mean and standard deviation over the samples,
// the shortest 95 % interval; for the classic model also the sensitivities
// to the total and peak efficiencies (NaN where a model has none).
struct LineUncertainty {
  double mean = 0.0;
  double standard = 0.0;
  double low95 = 0.0;
  double high95 = 0.0;
  double sensitivityTotal = 0.0;
  double sensitivityPeak = 0.0;
};

struct Line {
  LineResult line;
  std::optional<LineUncertainty> uncertainty;
};

struct DataSetLines {
  std::string model;  // "classic", "complete"
  std::string name;   // the data set's name
  std::string parent;
  std::string dsid;
  std::vector<Line> lines;
  std::vector<std::string> warnings;
  // The settings the model computed with, by name, as the outputs name them.
  std::vector<std::pair<std::string, std::string>> settings;
};

// The lines of a data set the classic model computed, its values exact.
DataSetLines classicLines(const DataSetResult& ds);

// An efficiency as the module holds it: the efficiency and the warnings it
// has for the photon energies a computation uses (outside a table, outside a
// curve's range, a bound that acted).
struct EfficiencyObject {
  std::shared_ptr<const Efficiency> efficiency;
  std::function<std::vector<std::string>(std::span<const double> energies)> findings;
  // A sample of the geometry model: its emission points, each with its own
  // efficiencies, where the summing is counted (EFFICIENCY is their mean).
  // Empty for a point source.
  SourceEfficiency source;
};

// A time given as seconds or as a text such as "1 us".
double secondsOf(const pybind11::object& time);

// The parts of the module, in the order the module defines them.
void defineErrors(pybind11::module_& m);
void defineResult(pybind11::module_& m);
void defineEfficiency(pybind11::module_& m);
void defineScheme(pybind11::module_& m);
void defineCompute(pybind11::module_& m);

}  // namespace tcsum::python
