#pragma once
// The results of a run as one self-contained HTML page: a fixed template
// with its style sheet inline and every chart inline SVG, so the page opens
// in any browser without a network. The page is written as the run goes,
// one data set at a time.
#include <optional>
#include <string>
#include <string_view>

#include "core/result.hpp"
#include "html/charts.hpp"
#include "outputs/output_file.hpp"
#include "outputs/run_info.hpp"

namespace tcsum::html {

class HtmlPage {
 public:
  HtmlPage(OutputFile& file, const RunInfo& info);
  // The detector section with the run's efficiency chart.
  void detector(const DetectorResult& d);
  // The section of a finished data set, appended to OUT (nothing for one
  // that a fault stopped). Once the detector is written it reads nothing
  // the page changes, so it can be made on any thread ahead of dataSet.
  void format(const DataSetResult& ds, std::string& out) const;
  // A finished data set is written at once, given FORMATTED, its format(),
  // when it was made; one that a fault stopped waits for end(), which knows
  // the diagnostic.
  void dataSet(const DataSetResult& ds, std::string_view formatted = {});
  // The run's status (complete, or stopped with DIAGNOSTIC), and the end of
  // the page.
  // Closes the page: the run's status, and the warnings about the records
  // after the end marker.
  void end(const std::optional<std::string>& diagnostic, const std::vector<Warning>& after = {});

 private:
  void section(const DataSetResult& ds, const std::optional<std::string>& diagnostic,
               std::string& out) const;
  void write(std::string_view section);
  void writeSection(const DataSetResult& ds, const std::optional<std::string>& diagnostic);
  OutputFile& file_;
  RunInfo info_;
  std::string detectorName_;
  std::optional<EfficiencyFrame> frame_;
  std::optional<DataSetResult> stopped_;
  int32_t dataSets_ = 0;
};

}  // namespace tcsum::html
