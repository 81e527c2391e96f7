#pragma once
// The results of one data set as the module hands them to Python: its lines
// in the model-neutral form, with the uncertainty of each factor where a run
// computed it, the warnings, and what the computation was done with.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>

#include "core/lines.hpp"
#include "core/result.hpp"

namespace tcsum::python {

// The uncertainty of a factor: mean and standard deviation over the samples,
// the shortest 95 % interval, the sensitivities to the total and peak
// efficiencies.
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

void defineResult(pybind11::module_& m);

}  // namespace tcsum::python
