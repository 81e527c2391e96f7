#pragma once
// The run: one pass over the data file, computing and reporting every data
// set until the end marker.
#include <cstdint>
#include <functional>
#include <istream>

#include "driver/store.hpp"
#include "report/report.hpp"

namespace tcsum {

struct CalendarDate {
  int32_t day;
  int32_t month;
  int32_t year;
};

// Today's date from the local calendar.
CalendarDate localDate();

// Called after each finished data set, for tests that look into the store.
using DataSetHook = std::function<void(const Store&)>;

// Reads the data file from DATA and writes the report of every data set to
// REPORT, which is opened when the first data set's header has been read.
// Run-stopping faults throw RunStop; whatever was written before stays in
// the report.
void run(Store& s, std::istream& data, Report& report,
         const std::function<CalendarDate()>& today = localDate,
         const DataSetHook& afterDataSet = {});

// The whole program in the working directory: the data file "TALVEN" (created
// empty when missing) and the report "result.out". Prints a diagnostic on
// standard error when the run stops early and returns the exit status.
int runProgram();

}  // namespace tcsum
