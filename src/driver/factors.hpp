#pragma once
// The classic model's factors beside the complete model's, for the factors
// command: the scheme written as a data set with the efficiencies as a data
// file's table, run in memory through the classic stages.
#include <optional>
#include <string>
#include <vector>

#include "complete/model.hpp"

namespace tcsum {

// The classic factor of each of RESULT's gamma and K x-ray lines (empty
// entries for the others); nothing, with NOTE saying why, where SCHEME does
// not fit a data set. NOTE may also say how the efficiencies were carried over.
std::vector<std::optional<double>> classicBeside(const DecayScheme& scheme,
                                                 const Efficiency& efficiency,
                                                 const complete::Result& result,
                                                 std::string& note);

}  // namespace tcsum
