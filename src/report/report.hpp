#pragma once
// The report "result.out": the file itself and its record groups, each
// written by one operation that takes its values.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/result.hpp"
#include "core/safe_file.hpp"
#include "report/format.hpp"

namespace tcsum {

// Records are collected in a buffer and written to the file in whole
// records. A report made without a path stays in memory; the path "-" is
// standard output.
class Report {
 public:
  // What opening does with a file already at the path.
  enum class Existing {
    refuse,   // never touch it: the run stops with "cannot overwrite existing file"
    replace,  // write beside it and put the new report in its place when the run ends normally
  };

  Report() = default;  // in memory
  explicit Report(std::string path, Existing existing = Existing::refuse)
      : path_(std::move(path)), existing_(existing) {}
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;
  ~Report();

  // The first call creates the file (with Existing::refuse it must not
  // exist: an existing file or link is never touched); later calls keep
  // writing to the same file.
  void open();
  bool isOpen() const { return open_; }

  // A writer for the records of one group; call committed() after the group.
  RecordWriter records() { return RecordWriter(buffer_); }
  void committed();

  // Writes every buffered record to the file and closes it. RUN_ENDED tells
  // whether the run ended normally: a report that replaces another takes its
  // place only then (a stopped run leaves the old one as it was, and its own
  // records only where no file was in the way). Failures end the run with a
  // diagnostic.
  void close(bool runEnded = true);

  // Everything written so far, for a report kept in memory.
  const std::string& contents() const { return buffer_; }

  // Swaps what a report kept in memory holds with RECORDS.
  void swapContents(std::string& records) { buffer_.swap(records); }

  // Appends whole records made elsewhere (a data set's section computed
  // apart from the report), as one group.
  void append(std::string_view records);

 private:
  void writeOut();
  void writeOut(std::string_view records);
  std::string path_;
  Existing existing_ = Existing::refuse;
  std::string buffer_;
  std::optional<SafeFile> file_;  // while the report is open on a file
  std::size_t onDisk_ = 0;  // bytes written to the file, whole records only
  bool open_ = false;
};

// The record groups of a data set's section, in the order they appear.

// Date heading: two empty lines, the date line, one empty line.
void writeDateHeading(Report& report, int32_t day, int32_t month, int32_t year);

// Detector heading: detector title, hyphens, the data-set lines with the
// efficiencies at E(X).
void writeDetectorHeading(Report& report, const DetectorResult& d, const DataSetResult& ds);

// Efficiency table: its heading, one row per point, then an empty line.
void writeEfficiencyTable(Report& report, const std::vector<EfficiencyPoint>& table);

// Level list: the level heading and one row per level.
void writeLevelList(Report& report, const std::vector<LevelResult>& levels);

// Transition heading: the column heads of the transition table.
void writeTransitionHeading(Report& report);

// Balance warning: the warning line (once per data set) and one line per
// inconsistent level.
void writeBalanceWarning(Report& report);
void writeBalanceLevel(Report& report, int32_t level, float PIN, float POUT);

// Separator: two empty lines after the balance check.
void writeSeparator(Report& report);

// Transition row: one row of the transition table.
void writeTransitionRow(Report& report, const TransitionResult& t);

// Results heading: the column heads of the results table.
void writeResultsHeading(Report& report);

// Result row: line energy, relative count without summing, correction factor.
void writeResultRow(Report& report, float energy, float count, float factor);

// The sections of a data set's report, from its result, in the order a run
// writes them as its stages finish:
// date heading, detector heading and efficiency table, once the header is read;
void writeOpening(Report& report, const DetectorResult& d, const DataSetResult& ds);
// level list and transition heading, once the levels are read;
void writeLevels(Report& report, const DataSetResult& ds);
// balance warning and separator, after the balance check;
void writeBalance(Report& report, const DataSetResult& ds);
// transition rows for the transitions FROM, FROM + 1 ... of the data set;
void writeTransitions(Report& report, const DataSetResult& ds, std::size_t from = 0);
// results heading and result rows, the results table.
void writeResults(Report& report, const DataSetResult& ds);

}  // namespace tcsum
