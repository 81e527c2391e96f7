#pragma once
// Atomic data of an element from xraylib: its atomic number from the symbol,
// the mean K x-ray energy E(X) and K fluorescence yield of the data file, and
// the x-ray lines a model that resolves them uses. Every function may be
// called from several threads at once: xraylib is asked once, for every
// element, the first time any of them is needed.
#include <string_view>

#include "core/scheme.hpp"

namespace tcsum::atomic {

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

// The x-rays of element Z (empty data for an unknown Z):
//  - omegaK, the K fluorescence yield;
//  - the K lines in four groups, each with the rate-weighted mean energy of
//    its lines and its share of all K radiative rates: Ka1 = KL3, Ka2 = KL2
//    (with the faint KL1), Kb1 = every KM line (KM3, KM2 and the faint
//    M1, M4, M5), Kb2 = every line from the N shell and above. A group with
//    no line in xraylib is left out;
//  - omegaL, the L x-rays per primary L vacancy: the primary vacancies put
//    in L1, L2, L3 as the shells' electrons (2 : 2 : 4), moved on by the
//    Coster-Kronig transitions f12, f13, f23 before they fill, so
//      omegaL = n1 w1 + (n2 + n1 f12) w2 + (n3 + n2 f23 + n1 (f13 + f12 f23)) w3;
//  - lEnergy, the mean energy of the L lines, each subshell's lines
//    weighted by their radiative rates and by that subshell's term above.
// omegaL and lEnergy stay 0 when xraylib lacks any of the yields.
AtomicData atomicData(int z);

}  // namespace tcsum::atomic
