#pragma once
// The classic model's factors beside the complete model's, for the factors
// command: the scheme written as a data set with the efficiencies as a data
// file's table, run in memory through the classic stages.
#include <optional>
#include <string>
#include <vector>

#include "complete/model.hpp"
#include "driver/factors_command.hpp"

namespace tcsum {

// The data file the classic model computes SCHEME with beside RESULT: the
// efficiencies as its table, the scheme as its one data set, the end marker.
// Empty, with NOTE saying why, where SCHEME does not fit a data set.
std::string classicDataFile(const DecayScheme& scheme, const Efficiency& efficiency,
                            const complete::Result& result, std::string& note);

// The classic factor of each of RESULT's gamma and K x-ray lines (empty
// entries for the others); nothing, with NOTE saying why, where SCHEME does
// not fit a data set. NOTE may also say how the efficiencies were carried over.
std::vector<std::optional<double>> classicBeside(const DecayScheme& scheme,
                                                 const Efficiency& efficiency,
                                                 const complete::Result& result,
                                                 std::string& note);

// The readers, the model and the checks beside it as the factors command
// runs them, for another caller of the same computation.
complete::FactorsServices factorsServices();

}  // namespace tcsum
