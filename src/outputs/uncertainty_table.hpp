#pragma once
// The factors of a data set with their uncertainties as a compact English
// table for the terminal, and a progress line for long computations.
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "core/result.hpp"

namespace tcsum {

// The table of DS's lines: factor ± standard uncertainty, the 95 % interval
// and the sensitivities, the uncertainty rounded to two significant digits
// and the factor to the same place. Empty when DS has no uncertainties.
std::string uncertaintyTable(const DataSetResult& ds);

// "name: 42 %" on one line of a terminal, rewritten as the work goes on;
// shown only when OUT is a terminal and the work is going to take more than
// a second. Call with 0 done first; the line is cleared at the end.
class ProgressLine {
 public:
  ProgressLine(std::ostream& out, bool terminal, std::string name);
  ~ProgressLine();
  void operator()(int64_t done, int64_t total);

 private:
  std::ostream& out_;
  bool terminal_;
  bool shown_ = false;
  int64_t lastPercent_ = -1;
  std::string name_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastShown_;
};

}  // namespace tcsum
