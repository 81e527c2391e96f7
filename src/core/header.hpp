#pragma once
// The header of a data set: what its header record gives and what the run
// adds to it (the efficiencies at the K x-ray energy, the date of the run).
// Declared once; the data store that computes a data set and the result that
// reports it both are one.
#include <cstdint>

#include "core/fixed_text.hpp"

namespace tcsum {

struct DataSetHeader {
  Text8 DSNAME{};
  Text8 DECMODE{};
  float EX = 0.0f;      // K x-ray energy E(X), keV
  float OMEGAK = 0.0f;  // K fluorescence yield
  float EPSTX = 0.0f;   // total efficiency at EX
  float EPSX = 0.0f;    // full-energy-peak efficiency at EX
  int32_t IDAY = 0;
  int32_t IMONTH = 0;
  int32_t IYEAR = 0;
};

}  // namespace tcsum
