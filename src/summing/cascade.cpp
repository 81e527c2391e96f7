#include "summing/summing.hpp"

namespace tcsum {

void CASCADE(Store& s) {
  const int32_t NLEV = s.NLEV;
  // Every level index below runs up to NLEV (sub-levels up to 2 NLEV), so
  // one check here keeps all of them inside the store.
  if (NLEV < 0 || NLEV > kLevels) indexBeyondStore(NLEV, kLevels, SourceLocation::current());

  // Sum-peak probabilities, only where a direct transition J -> I exists.
  for (int32_t I = 1; I <= NLEV - 1; ++I) {
    for (int32_t J = I + 1; J <= NLEV; ++J) {
      if (s.XTR(J, I) == 0.0f) continue;
      float SUMPK = s.BPEAK(J, I);
      for (int32_t K = I + 1; K <= J - 1; ++K)
        SUMPK = s.BPEAK(J, K) * s.SUMPK(K, I) + SUMPK;
      s.SUMPK(J, I) = SUMPK;
    }
  }

  // No detection on the way from level I down to the ground state.
  s.NBELOW(1) = 1.0f;
  for (int32_t I = 2; I <= NLEV; ++I) {
    float NBELOW = 0.0f;
    for (int32_t K = 1; K <= I - 1; ++K)
      NBELOW = s.DMISS(I, K) * s.NBELOW(K) + NBELOW;
    s.NBELOW(I) = NBELOW;
  }

  // Populations, from the top level down.
  for (int32_t J = NLEV; J >= 1; --J) {
    float POP = s.FEED(J);
    float NABOVE = s.FEED(J);
    for (int32_t K = J + 1; K <= NLEV; ++K) {
      POP = s.POP(K) * s.XTR(K, J) + POP;
      NABOVE = s.NABOVE(K) * s.DMISS(K, J) + NABOVE;
    }
    s.POP(J) = POP;
    s.NABOVE(J) = NABOVE;
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
    float XPOP = s.XFEED(L);
    for (int32_t K = L + 1; K <= N2; ++K)
      XPOP = s.XPOP(K) * s.XTRANS(K, L) + XPOP;
    s.XPOP(L) = XPOP;
  }
  for (int32_t J = 1; J <= NLEV; ++J)
    s.NABOVE(J) = s.XPOP(2 * J - 1);
}

}  // namespace tcsum
