#include "summing/summing.hpp"

namespace tcsum {

void CORRECT(const Store& s, std::vector<GammaLine>& gammas, std::optional<XrayLine>& xray) {
  using Source = XrayContribution::Source;
  std::vector<XrayContribution> contributions;
  float SXW = 0.0f;
  float SX0 = 0.0f;
  float SXR = 0.0f;
  for (int32_t J = 2; J <= s.NLEV; ++J) {
    for (int32_t I = 1; I <= J - 1; ++I) {
      if (s.RATE(J, I) == 0.0f) continue;
      const float KORR = s.RATE0(J, I) / s.RATE(J, I);
      gammas.push_back({J, I, s.EGAM(J, I), s.RATE0(J, I), s.RATE(J, I), KORR});
      if (s.XRATE(J, I) == 0.0f) continue;
      SXW = ((s.XRATE0(J, I) * s.XRATE0(J, I)) / s.XRATE(J, I)) + SXW;
      SX0 = SX0 + s.XRATE0(J, I);
      SXR = SXR + s.XRATE(J, I);
      contributions.push_back({Source::conversion, J, I, s.XRATE0(J, I), s.XRATE(J, I),
                               s.XRATE0(J, I) / s.XRATE(J, I)});
    }
  }

  float SE0 = 0.0f;
  float SEW = 0.0f;
  float SER = 0.0f;
  if (isElectronCapture(s)) {
    for (int32_t J = 1; J <= s.NLEV; ++J) {
      if (s.ECRATE(J) == 0.0f) continue;
      SE0 = SE0 + s.ECRATE0(J);
      SEW = ((s.ECRATE0(J) * s.ECRATE0(J)) / s.ECRATE(J)) + SEW;
      SER = SER + s.ECRATE(J);
      contributions.push_back(
          {Source::capture, J, 0, s.ECRATE0(J), s.ECRATE(J), s.ECRATE0(J) / s.ECRATE(J)});
    }
  }

  // The K x-ray line: the count-weighted mean of its contributions' factors.
  const float XTOT = SX0 + SE0;
  if (XTOT == 0.0f) return;
  const float XKORR = (SXW + SEW) / (SX0 + SE0);
  xray = XrayLine{s.EX, XTOT, SXR + SER, XKORR, std::move(contributions)};
}

}  // namespace tcsum
