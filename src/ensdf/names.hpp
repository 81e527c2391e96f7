#pragma once
// The names of an ENSDF decay data set as the program writes them.
#include <string>
#include <string_view>

#include "ensdf/dataset.hpp"

namespace tcsum::ensdf {

// The parent as the data-set name is written: "CO-60", "HO-166M".
std::string parentName(const DataSet& set);

// "60CO" -> "CO-60" (blanks removed, the element first).
std::string nuclideName(std::string_view nucid);

// The data set's decay mode as the program reads it: "EC" for electron
// capture and beta plus, else the DSID's token; empty when not modelled.
std::string programMode(const DataSet& set);

}  // namespace tcsum::ensdf
