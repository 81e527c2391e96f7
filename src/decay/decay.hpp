#pragma once
// The decay scheme: its balance check and the transition stage that turns
// intensities into transition probabilities and detection probabilities.
#include "driver/store.hpp"
#include "report/report.hpp"

namespace tcsum {

// Compares, for every excited level, the population (feeding plus the total
// intensity of the transitions into it) with the depopulation (the total
// intensity of the transitions out of it), in percent of decays. A level
// whose relative difference is not below 0.1 is listed under a warning. Ends
// with the separator. Changes no data.
void BALANCE(const Store& s, Report& report);

// For every transition J -> I: replaces XTR by the transition probability per
// de-excitation of J, evaluates EPSG and EPSTG at its energy, forms BPEAK and
// DMISS and writes its row of the transition table.
void TRANSITIONS(Store& s, Report& report);

}  // namespace tcsum
