#pragma once
// The decay scheme: its balance check and the transition stage that turns
// intensities into transition probabilities and detection probabilities.
#include <vector>

#include "core/result.hpp"
#include "core/store.hpp"

namespace tcsum {

// Compares, for every excited level, the population (feeding plus the total
// intensity of the transitions into it) with the depopulation (the total
// intensity of the transitions out of it), in percent of decays. A level
// whose relative difference is not below 0.1 is appended to FINDINGS.
// Changes no data.
void BALANCE(const Store& s, std::vector<BalanceFinding>& findings);

// For every transition J -> I: replaces XTR by the transition probability per
// de-excitation of J, evaluates EPSG and EPSTG at its energy, forms BPEAK and
// DMISS, and appends its row of the transition table to ROWS (so the rows
// before a fault are kept).
void TRANSITIONS(Store& s, std::vector<TransitionResult>& rows);

}  // namespace tcsum
