#pragma once
// Photon cross sections of the elements from the XCOM tables built into the
// program (data/xcom), interpolated in log(sigma) against log(E) within the
// intervals between absorption edges, never across an edge. Pair
// production is zero up to its threshold (the grid point where the table
// starts it, 1022 keV in the field of the nucleus, 2044 keV in that of the
// electrons); in the interval that starts at the threshold it rises as
// (E - E_threshold)^3 to the next grid value.
#include <string_view>

namespace tcsum::geometry {

// Barn per atom.
struct CrossSections {
  double coherent = 0.0;
  double incoherent = 0.0;
  double photoelectric = 0.0;
  double pairNuclear = 0.0;
  double pairElectron = 0.0;

  // Every interaction in which the photon loses energy: the probability of
  // a first interaction that deposits energy leaves coherent scattering out.
  double withoutCoherent() const { return incoherent + photoelectric + pairNuclear + pairElectron; }
  double total() const { return coherent + withoutCoherent(); }
};

// The lowest and highest energies of the tables, keV.
inline constexpr double kXcomMinEnergy = 1.0;
inline constexpr double kXcomMaxEnergy = 1e8;
inline constexpr int kXcomMaxZ = 100;

// The cross sections of element Z (1..100) at ENERGY (keV, within the
// tables); throws std::invalid_argument otherwise.
CrossSections crossSections(int z, double energy);

// The atomic number of an element symbol ("Ge"), 0 for none.
int atomicNumber(std::string_view symbol);
std::string_view elementSymbol(int z);
// g/mol.
double atomicWeight(int z);

// Barn per atom to cm^2/g for element Z: N_A / A, N_A in 1e24 per mol.
double barnToMassAttenuation(int z);

}  // namespace tcsum::geometry
