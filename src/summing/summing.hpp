#pragma once
// The true-coincidence summing computation of a data set: cascade
// probabilities, line count rates, and correction factors with the result
// rows of the report.
#include "core/result.hpp"
#include "core/store.hpp"

namespace tcsum {

// SUMPK (sum-peak probability J -> I through levels with a direct transition
// to I), NBELOW (nothing detected below a level), POP (population) and
// NABOVE (population reached with nothing detected; in electron-capture
// decay also without the capture K x-ray being detected).
void CASCADE(Store& s);

// RATE0 and RATE of every gamma line, XRATE0 and XRATE of the K x-rays of
// its K conversion, and in electron-capture decay ECRATE0 and ECRATE of the
// capture K x-rays of every level, in percent of decays.
void LINERATES(Store& s);

// The correction factor of every gamma line with a count and of the K x-ray
// line, with the contributions of the K x-ray line, into GAMMAS and XRAY.
void CORRECT(const Store& s, std::vector<GammaLine>& gammas, std::optional<XrayLine>& xray);

}  // namespace tcsum
