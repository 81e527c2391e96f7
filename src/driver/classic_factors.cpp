#include "driver/classic_factors.hpp"

#include <memory>
#include <sstream>
#include <stdexcept>

#include "core/fatal.hpp"
#include "driver/run.hpp"

namespace tcsum {

std::vector<ClassicLineFactor> classicFactors(const std::string& dataFileText) {
  auto store = std::make_unique<Store>();
  std::istringstream data(dataFileText);
  std::vector<ClassicLineFactor> lines;
  bool complete = false;
  RunOutputs outputs;
  outputs.dataSet = [&](const DataSetResult& ds, const PreparedTexts&) {
    if (complete || ds.reached != Stage::complete) return;
    complete = true;
    for (const GammaLine& g : ds.gammas)
      lines.push_back({false, g.upper, g.lower, static_cast<double>(g.KORR)});
    if (ds.xray) lines.push_back({true, 0, 0, static_cast<double>(ds.xray->KORR)});
  };
  // A fixed date: nothing of the comparison depends on the day.
  run(*store, data, outputs, [] { return CalendarDate{1, 1, 2000}; }, {}, 1);
  if (!complete) throw std::runtime_error("the data set did not complete");
  return lines;
}

}  // namespace tcsum
