#include "summing/summing.hpp"

namespace tcsum {

void LINERATES(Store& s) {
  for (int32_t J = 2; J <= s.NLEV; ++J) {
    for (int32_t I = 1; I <= J - 1; ++I) {
      if (s.XTR(J, I) == 0.0f) continue;
      // A level without downward transitions ends the line like the ground
      // state: nothing can be detected below it.
      if (s.NBELOW(I) == 0.0f) s.NBELOW(I) = 1.0f;
      s.RATE(J, I) = (s.NABOVE(J) * s.SUMPK(J, I)) * s.NBELOW(I);
      s.RATE0(J, I) = s.POP(J) * s.BPEAK(J, I);
      if (s.ALPHAK(J, I) == 0.0f) continue;
      const float XK =
          (((s.XTR(J, I) * s.ALPHAK(J, I)) * s.OMEGAK) * s.EPSX) / (s.ALPHA(J, I) + 1.0f);
      s.XRATE0(J, I) = XK * s.POP(J);
      s.XRATE(J, I) = (XK * s.NABOVE(J)) * s.NBELOW(I);
    }
  }

  if (!isElectronCapture(s)) return;
  for (int32_t J = 1; J <= s.NLEV; ++J) {
    const float QEC = ((s.FEED(J) * s.PK(J)) * s.OMEGAK) * s.EPSX;
    s.ECRATE0(J) = QEC;
    s.ECRATE(J) = QEC * s.NBELOW(J);
  }
}

}  // namespace tcsum
