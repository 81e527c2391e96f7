#pragma once
// The result lines of a run as CSV: one row per gamma line and K x-ray line,
// a header row, RFC 4180 quoting, "." as decimal point, UTF-8, LF line ends;
// numbers as in the JSON output. When the run computes uncertainties, every
// row also has the factor's standard uncertainty and its 95 % interval.
#include "core/result.hpp"
#include "outputs/output_file.hpp"

namespace tcsum {

class CsvWriter {
 public:
  explicit CsvWriter(OutputFile& file, bool withUncertainty = false);
  // The rows of a data set, appended to OUT; one that a fault stopped has
  // none. It reads nothing the writer changes, so it can be made on any
  // thread ahead of dataSet.
  void format(const DataSetResult& ds, std::string& out) const;
  // Writes the rows of DS, given FORMATTED, its format(), when it was made.
  void dataSet(const DataSetResult& ds, std::string_view formatted = {});

 private:
  OutputFile& file_;
  bool withUncertainty_;
};

// A text field: with a leading apostrophe, and quoted, when it starts with
// = + - @, a tab or a CR (so that a spreadsheet does not run it as a
// formula); else quoted when it holds a comma, a quote or a line end.
// Numbers are not written with it.
std::string csvField(std::string_view field);

}  // namespace tcsum
