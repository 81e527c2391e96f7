#pragma once
// From an ENSDF decay data set to the complete decay scheme it gives, before
// any model or data file: normalisation, levels with their feeding (the
// beta-plus share kept), K-capture fractions, the parent level of an
// isomeric transition, the placement of the gammas with their conversion
// coefficients, and each level's half-life.
#include <string>
#include <vector>

#include "core/scheme.hpp"
#include "ensdf/dataset.hpp"
#include "ensdf/findings.hpp"
#include "ensdf/names.hpp"

namespace tcsum::ensdf {

struct SchemeBuild {
  RefusalKind refusal = RefusalKind::None;
  std::string reason;  // why, one line
  DecayScheme scheme;
  std::vector<Warning> warnings;
  // Of an isomeric transition: the level of the parent (index into
  // scheme.levels); -1 otherwise.
  int parentLevel = -1;
  // For a listing: levels and gammas of the ENSDF data set.
  int levels = 0;
  int gammas = 0;
};

// The scheme keeps every placed gamma with photon intensity as its own
// transition, also two between the same levels.
SchemeBuild buildScheme(const DataSet& set, const Settings& settings);

}  // namespace tcsum::ensdf
