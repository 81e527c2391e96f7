#include <cmath>

#include "decay/decay.hpp"

namespace tcsum {

void BALANCE(const Store& s, std::vector<BalanceFinding>& findings) {
  constexpr float kTolerance = 0.1f;
  for (int32_t I = 2; I <= s.NLEV; ++I) {
    float PIN = s.FEED(I);
    for (int32_t J = I + 1; J <= s.NLEV; ++J)
      PIN = (s.ALPHA(J, I) + 1.0f) * s.XTR(J, I) + PIN;
    float POUT = 0.0f;
    for (int32_t J = 1; J <= I - 1; ++J)
      POUT = (s.ALPHA(I, J) + 1.0f) * s.XTR(I, J) + POUT;
    // A level with no flow at all gives 0/0, a NaN that compares false and
    // is listed: such a level is most likely a mistake in the data file.
    const float RDIFF = 2.0f * std::fabs(PIN - POUT) / (PIN + POUT);
    if (RDIFF < kTolerance) continue;
    findings.push_back({I, PIN, POUT});
  }
}

}  // namespace tcsum
