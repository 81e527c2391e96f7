#pragma once
// The decay scheme: its balance check and the transition stage that turns
// intensities into transition probabilities and detection probabilities.
#include <vector>

#include "core/result.hpp"
#include "core/store.hpp"
#include "efficiency/eps.hpp"

namespace tcsum {

// Compares, for every excited level, the population (feeding plus the total
// intensity of the transitions into it) with the depopulation (the total
// intensity of the transitions out of it), in percent of decays. A level
// whose relative difference is not below 0.1 is appended to FINDINGS.
// Changes no data.
void BALANCE(const Store& s, std::vector<BalanceFinding>& findings);

// The efficiency stencils at the transition energies of a data set, made
// once for computations whose tables differ from it in efficiencies alone.
class TransitionStencils {
 public:
  // From S with its log table.
  explicit TransitionStencils(const Store& s);
  // The stencil of J -> I; a transition beyond the levels of S ends the run.
  const EfficiencyStencil& at(int32_t J, int32_t I) const;

 private:
  int32_t levels_ = 0;
  std::vector<EfficiencyStencil> stencils_;  // (2, 1), (3, 1), (3, 2), (4, 1) ...
};

// For every transition J -> I: replaces XTR by the transition probability per
// de-excitation of J, evaluates EPSG and EPSTG at its energy (from STENCILS
// when given, made for the same transition energies and abscissae), forms
// BPEAK and DMISS, and appends its row of the transition table to ROWS (so
// the rows before a fault are kept).
void TRANSITIONS(Store& s, std::vector<TransitionResult>& rows,
                 const TransitionStencils* stencils = nullptr);

}  // namespace tcsum
