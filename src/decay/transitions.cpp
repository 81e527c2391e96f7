#include <algorithm>
#include <string>

#include "core/fatal.hpp"
#include "decay/decay.hpp"
#include "efficiency/eps.hpp"

namespace tcsum {

namespace {
double wide(float x) {
  return static_cast<double>(x);
}
}  // namespace

TransitionStencils::TransitionStencils(const Store& s) : levels_(std::max(s.NLEV, 0)) {
  for (int32_t J = 2; J <= s.NLEV; ++J) {
    for (int32_t I = 1; I <= J - 1; ++I)
      stencils_.push_back(efficiencyStencil(s, s.EGAM(J, I)));
  }
}

const EfficiencyStencil& TransitionStencils::at(int32_t J, int32_t I) const {
  if (J < 2 || J > levels_) [[unlikely]]
    indexBeyondStore(J, levels_, SourceLocation::current());
  if (I < 1 || I >= J) [[unlikely]]
    indexBeyondStore(I, J - 1, SourceLocation::current());
  return stencils_[static_cast<std::size_t>((J - 2) * (J - 1) / 2 + (I - 1))];
}

// The formulas of this stage are evaluated in double; only what is stored is
// rounded to float.
void TRANSITIONS(Store& s, std::vector<TransitionResult>& rows,
                 const TransitionStencils* stencils) {
  for (int32_t J = 2; J <= s.NLEV; ++J) {
    // Total intensity leaving level J, conversion electrons included.
    float XSUM = 0.0f;
    for (int32_t I = 1; I <= J - 1; ++I) {
      XSUM = static_cast<float>((wide(s.ALPHA(J, I)) + 1.0) * wide(s.XTR(J, I)) + wide(XSUM));
    }
    if (XSUM == 0.0f) continue;

    for (int32_t I = 1; I <= J - 1; ++I) {
      if (s.XTR(J, I) == 0.0f) continue;
      const double alpha = wide(s.ALPHA(J, I));
      const float XIN = s.XTR(J, I);
      s.XTR(J, I) = static_cast<float>((alpha + 1.0) * wide(XIN) / wide(XSUM));
      const Efficiencies eps =
          stencils ? efficienciesAt(s, stencils->at(J, I)) : efficienciesAt(s, s.EGAM(J, I));
      s.EPSG = eps.peak;
      s.EPSTG = eps.total;
      if (alpha + 1.0 == 0.0) {
        dataFileFault("total conversion coefficient ALPHA = -1 divides by zero",
                      "data set " + quoted({s.DSNAME.data(), s.DSNAME.size()}) + ", transition " +
                          std::to_string(J) + " -> " + std::to_string(I));
      }
      const double xtr = wide(s.XTR(J, I));
      // Gamma emitted and recorded in its full-energy peak.
      s.BPEAK(J, I) = static_cast<float>(xtr / (alpha + 1.0) * wide(s.EPSG));
      // Neither the gamma nor the K x-ray of the transition's K conversion detected.
      const double xray = (wide(s.OMEGAK) * wide(s.ALPHAK(J, I))) * wide(s.EPSTX);
      s.DMISS(J, I) = static_cast<float>((1.0 - (xray + wide(s.EPSTG)) / (alpha + 1.0)) * xtr);
      rows.push_back(
          {J, I, s.EGAM(J, I), XIN, s.ALPHA(J, I), s.ALPHAK(J, I), s.EPSTG, s.EPSG, s.XTR(J, I)});
    }
  }
}

}  // namespace tcsum
