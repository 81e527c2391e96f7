#pragma once
// Atomic data of the daughter atom: the mean K x-ray energy E(X) and the K
// fluorescence yield OMEGAK, from xraylib.
#include <string_view>

namespace tcsum::ensdf {

// Atomic number of an element symbol in any case ("NI", "Ni"); 0 when unknown.
int atomicNumber(std::string_view symbol);

struct KShellData {
  double energy = 0.0;  // E(X), keV: rate-weighted mean energy of the K lines
  double yield = 0.0;   // OMEGAK
  bool energyKnown = false;
  bool yieldKnown = false;
};

// E(X) is the sum over every K line xraylib tabulates of radiative rate x
// line energy, divided by the sum of those rates. A value xraylib does not
// have stays 0 and is marked unknown.
KShellData kShellData(int z);

}  // namespace tcsum::ensdf
