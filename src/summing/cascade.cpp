#include "summing/summing.hpp"

namespace tcsum {

void CASCADE(Store& s) {
  const int32_t NLEV = s.NLEV;

  // Sum-peak probabilities, only where a direct transition J -> I exists.
  for (int32_t I = 1; I <= NLEV - 1; ++I) {
    for (int32_t J = I + 1; J <= NLEV; ++J) {
      if (s.XTR(J, I) == 0.0f) continue;
      s.SUMPK(J, I) = s.BPEAK(J, I);
      for (int32_t K = I + 1; K <= J - 1; ++K) {
        s.SUMPK(J, I) = s.BPEAK(J, K) * s.SUMPK(K, I) + s.SUMPK(J, I);
      }
    }
  }

  // No detection on the way from level I down to the ground state.
  s.NBELOW(1) = 1.0f;
  for (int32_t I = 2; I <= NLEV; ++I) {
    s.NBELOW(I) = 0.0f;
    for (int32_t K = 1; K <= I - 1; ++K) {
      s.NBELOW(I) = s.DMISS(I, K) * s.NBELOW(K) + s.NBELOW(I);
    }
  }

  // Populations, from the top level down.
  for (int32_t J = NLEV; J >= 1; --J) {
    s.POP(J) = s.FEED(J);
    s.NABOVE(J) = s.FEED(J);
    for (int32_t K = J + 1; K <= NLEV; ++K) {
      s.POP(J) = s.POP(K) * s.XTR(K, J) + s.POP(J);
      s.NABOVE(J) = s.NABOVE(K) * s.DMISS(K, J) + s.NABOVE(J);
    }
  }

  if (!isElectronCapture(s)) return;

  // Electron capture: level J is split into sub-level 2J, as entered by the
  // capture, and 2J - 1, after the capture K x-ray has had its chance to be
  // detected. The population of the odd sub-levels reached with nothing
  // detected replaces NABOVE.
  const int32_t N2 = 2 * NLEV;
  for (int32_t J = 1; J <= NLEV; ++J) {
    s.XFEED(2 * J) = s.FEED(J);
    s.XTRANS(2 * J, 2 * J - 1) = 1.0f - ((s.EPSTX * s.PK(J)) * s.OMEGAK);
    for (int32_t I = 1; I <= J - 1; ++I)
      s.XTRANS(2 * J - 1, 2 * I - 1) = s.DMISS(J, I);
  }
  for (int32_t L = N2; L >= 1; --L) {
    s.XPOP(L) = s.XFEED(L);
    for (int32_t K = L + 1; K <= N2; ++K)
      s.XPOP(L) = s.XPOP(K) * s.XTRANS(K, L) + s.XPOP(L);
  }
  for (int32_t J = 1; J <= NLEV; ++J)
    s.NABOVE(J) = s.XPOP(2 * J - 1);
}

}  // namespace tcsum
