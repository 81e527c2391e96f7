#pragma once
// The results of a run as a JSON document (format "tcsum-results", version
// 1; its schema is docs/tcsum-results.schema.json). The document is written
// as the run goes, one data set at a time, so memory does not grow with the
// data file; a run that stops says so, and why, at the end of the document.
#include <optional>
#include <string>
#include <string_view>

#include "core/result.hpp"
#include "outputs/output_file.hpp"
#include "outputs/run_info.hpp"

namespace tcsum {

class JsonWriter {
 public:
  JsonWriter(OutputFile& file, const RunInfo& info);
  void detector(const DetectorResult& d);
  // The text of data set DS in the document, appended to OUT. It depends on
  // DS alone, so it can be made on any thread ahead of dataSet.
  static void format(const DataSetResult& ds, std::string& out);
  // Writes data set DS, given FORMATTED, its format(), when it was made.
  void dataSet(const DataSetResult& ds, std::string_view formatted = {});
  // Closes the document: "status" "complete", or "stopped" with the
  // diagnostic that stopped the run.
  // The warnings about the records after the end marker, when there are
  // any, stand at the top level.
  void end(const std::optional<std::string>& stopped, const std::vector<Warning>& after = {});

 private:
  OutputFile& file_;
  bool detectorWritten_ = false;
  bool anyDataSet_ = false;
};

}  // namespace tcsum
