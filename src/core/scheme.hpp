#pragma once
// A decay scheme as read, independent of any model: the daughter's levels
// with their feeding, the transitions between them with their photon
// intensities and conversion coefficients, and the atomic data of the
// daughter. Readers build it (the data file, ENSDF); a model computes from
// it. Energies in keV, intensities and feedings in percent of decays of the
// parent, every value as given (a float of the data file is held exactly).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tcsum {

struct SchemeLevel {
  double energy = 0.0;   // keV above the daughter's ground state
  double feeding = 0.0;  // direct feeding, percent of decays (all modes)
  // Electron capture: the K-capture fraction of the capture feeding (PK),
  // and the L-capture fraction where known.
  double kCaptureFraction = 0.0;
  std::optional<double> lCaptureFraction;
  // Positron emission: the part of FEEDING that comes with a positron,
  // percent of decays (0 where there is none or it is unknown).
  double betaPlus = 0.0;
  // Half-life in seconds; empty when unknown, +infinity for a stable level.
  std::optional<double> halfLife;
  int32_t record = 0;  // where it was read (line of the file), 0 when built
};

struct SchemeTransition {
  int32_t upper = 0;     // index into DecayScheme::levels
  int32_t lower = 0;     // index into DecayScheme::levels, below UPPER
  double energy = 0.0;   // gamma-ray energy, keV
  double gamma = 0.0;    // gamma-ray emission, percent of decays
  double alpha = 0.0;    // total conversion coefficient
  double alphaK = 0.0;   // K-shell conversion coefficient
  std::optional<double> alphaL;  // L-shell conversion coefficient, where given
  int32_t record = 0;
};

// The x-rays of the daughter atom. A K vacancy is filled with a K x-ray with
// probability omegaK; the x-ray is one of kLines with its share (the shares
// add up to 1). The L shell likewise, with the L x-rays as one group.
struct AtomicLine {
  std::string label;   // "Ka1", "Ka2", "Kb1", "Kb2"; "K" for a single mean line
  double energy = 0.0; // keV
  double share = 0.0;  // of the shell's x-rays
};
struct AtomicData {
  double omegaK = 0.0;
  std::vector<AtomicLine> kLines;
  double omegaL = 0.0;  // mean L-shell fluorescence yield; 0 when not known
  double lEnergy = 0.0; // rate-weighted mean L x-ray energy, keV
};

struct DecayScheme {
  std::string name;    // data-set name (the data file's columns 1-8, or from ENSDF)
  std::string parent;  // parent nuclide, "CO-60", "HO-166M"; empty when not known
  std::string dsid;    // ENSDF data-set identification; empty for the data file
  std::string decayMode;  // "B-", "EC", "B+", "IT", "A", as read
  bool electronCapture = false;
  int32_t daughterZ = 0;  // atomic number of the daughter; 0 when not known
  // The data file's K x-ray energy and fluorescence yield (0 when not given).
  double xrayEnergy = 0.0;
  double omegaK = 0.0;
  // The daughter's x-rays for a model that resolves them; from the data file
  // a single K line at xrayEnergy with omegaK.
  AtomicData atomic;
  std::vector<SchemeLevel> levels;  // in ascending energy, the ground state first
  std::vector<SchemeTransition> transitions;
  std::string source;  // the file it came from
  int32_t record = 0;  // its first record there
};

}  // namespace tcsum
