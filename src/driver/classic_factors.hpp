#pragma once
// The classic model's factors of one data set given as data-file text, run
// in memory through the program's own stages, for the comparison beside the
// complete model. Plain types only, so that a caller need not see the
// classic result model.
#include <cstdint>
#include <string>
#include <vector>

namespace tcsum {

struct ClassicLineFactor {
  bool xray = false;   // the K x-ray line; else a gamma line
  int32_t upper = 0;   // level numbers of the data file, from 1
  int32_t lower = 0;
  double factor = 0.0;
};

// The factors of the first data set of DATA_FILE_TEXT (an efficiency block,
// data sets, the end marker). Throws std::runtime_error with the run's
// diagnostic when the run stops or the data set does not complete.
std::vector<ClassicLineFactor> classicFactors(const std::string& dataFileText);

}  // namespace tcsum
