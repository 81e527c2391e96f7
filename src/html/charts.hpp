#pragma once
// The charts of the HTML page, as inline SVG: the efficiency curves of the
// run's detector and, per data set, the decay scheme with the size of each
// line's correction. They draw values of the result model and compute none.
#include <optional>
#include <string>

#include "core/result.hpp"
#include "plot/plot.hpp"

namespace tcsum::html {

// A number of the results to six significant digits; "NaN", "∞" or "-∞"
// when it is not finite.
std::string significant(float value);
// The same, appended to OUT.
void appendSignificant(std::string& out, float value);
// A value as read from the data file: the shortest decimal giving it back.
std::string asRead(float value);

// The axes of the efficiency chart, fixed for the run by its curve.
struct EfficiencyFrame {
  plot::Axis energy;
  plot::Axis efficiency;
};

// None when the run has no curve to draw (an unusable table).
std::optional<EfficiencyFrame> efficiencyFrame(const DetectorResult& d);

// The run's efficiency chart: curves, table points, interpolation ranges and
// extrapolated regions. Its drawing is a group with the id "eff-base" that
// the charts of the data sets reuse.
void efficiencyChart(std::string& out, const DetectorResult& d, const EfficiencyFrame& frame);

// The chart of one data set: the run's chart with E(X) and every transition
// energy marked, each at the efficiencies the data set used there.
void dataSetEfficiencyChart(std::string& out, const EfficiencyFrame& frame,
                            const DataSetResult& ds);

// The decay scheme: levels from bottom to top in order of energy, one column
// per transition, each coloured by the size of its line's correction.
void decayScheme(std::string& out, const DataSetResult& ds);

// The colour key of the decay scheme, as HTML.
void correctionLegend(std::string& out);

}  // namespace tcsum::html
