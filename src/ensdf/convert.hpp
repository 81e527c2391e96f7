#pragma once
// From an ENSDF decay data set to data sets for the program: normalisation,
// feedings and K-capture fractions, placement of the gammas, conversion
// coefficients, the split at isomers and the pruning to the program's
// capacity.
#include <string>
#include <vector>

#include "ensdf/dataset.hpp"
#include "ensdf/findings.hpp"
#include "ensdf/names.hpp"
#include "ensdf/writer.hpp"

namespace tcsum::ensdf {

struct Conversion {
  RefusalKind refusal = RefusalKind::None;
  std::string reason;  // why, one line
  std::vector<OutSet> sets;
  std::vector<Warning> warnings;
  // For a listing: levels and gammas of the ENSDF data set.
  int levels = 0;
  int gammas = 0;
};

Conversion convert(const DataSet& set, const Settings& settings);

}  // namespace tcsum::ensdf
