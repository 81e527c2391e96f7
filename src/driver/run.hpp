#pragma once
// The run: one pass over the data file, computing every data set until the
// end marker and handing its results to the outputs as the stages finish.
#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <vector>

#include "core/result.hpp"
#include "core/store.hpp"
#include "model/classic.hpp"
#include "model/model.hpp"
#include "report/report.hpp"

namespace tcsum {

struct CalendarDate {
  int32_t day;
  int32_t month;
  int32_t year;
};

// Today's date from the local calendar.
CalendarDate localDate();

// Where the results of a run go. The report is written section by section as
// the stages finish, so a fault leaves on disk what was computed before it;
// the other outputs get each data set whole, and the data set a fault
// stopped with what it had reached.
// What outputs make of one data set's results ahead of time, one text each.
using PreparedTexts = std::vector<std::string>;

struct RunOutputs {
  Report* report = nullptr;
  std::function<void(const DetectorResult&)> detector;
  // Formats a data set's results for the outputs on the thread that computed
  // it, at the same time as other data sets are computed and delivered: it
  // may read the results and what the outputs fixed when they got the
  // detector, nothing they change later.
  std::function<void(const DataSetResult&, PreparedTexts&)> prepare;
  // A data set's results, in the file's order, with the texts prepare made
  // (none where it did not run or failed: the outputs then make their own).
  std::function<void(const DataSetResult&, const PreparedTexts&)> dataSet;
  // The end marker ended the run; the warnings about what follows it.
  std::function<void(const std::vector<Warning>&)> finished;
  // Further analysis of a computed data set before the outputs get it: with
  // the store as it stood once the data set's transitions were read (before
  // the transition stage replaced intensities by probabilities). Only when
  // set does the run keep that copy, and only with the classic model.
  std::function<void(const Store& asRead, DataSetResult& ds)> analyse;
  bool efficiencyCurve = false;  // sample the efficiency function for the detector output
  // The model the data sets are computed with; none: the classic model.
  const Model* model = nullptr;
};

// Called after each finished data set, for tests that look into the store;
// on the thread that computed the data set (with the classic model only).
using DataSetHook = std::function<void(const Store&)>;

// Reads the data file from DATA and computes every data set. The report is
// opened when the first data set's header has been read. Run-stopping faults
// throw RunStop after the outputs have had what was computed before them.
//
// JOBS data sets are computed at once, each in a store of its own (a copy of
// S after the efficiency block), while this thread reads the data file ahead
// and hands each data set's results to the outputs in the file's order. The
// outputs are the same for every JOBS, a run stopped by a fault included;
// with 1 everything happens on this thread, in S.
void run(Store& s, std::istream& data, const RunOutputs& outputs,
         const std::function<CalendarDate()>& today = localDate,
         const DataSetHook& afterDataSet = {}, int32_t jobs = 1);

// The same with the report as the only output.
void run(Store& s, std::istream& data, Report& report,
         const std::function<CalendarDate()>& today = localDate,
         const DataSetHook& afterDataSet = {}, int32_t jobs = 1);

}  // namespace tcsum
