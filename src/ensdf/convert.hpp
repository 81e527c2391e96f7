#pragma once
// From an ENSDF decay data set to data sets for the program: normalisation,
// feedings and K-capture fractions, placement of the gammas, conversion
// coefficients, the split at isomers and the pruning to the program's
// capacity.
#include <string>
#include <vector>

#include "ensdf/dataset.hpp"
#include "ensdf/writer.hpp"

namespace tcsum::ensdf {

// What a warning is about, for counting them.
enum class WarningKind {
  Limit,            // a value given as a limit or an estimate, taken as given
  BetaPlus,         // beta-plus feeding: annihilation radiation is not modelled
  AtomicData,       // E(X) or OMEGAK not in xraylib, 0 written
  NoCaptureShare,   // a level fed by electron capture without CK
  NoConversion,     // gammas without ALPHA or ALPHAK, 0 written
  SkippedGammas,    // gammas that cannot enter the scheme
  SharedIntensity,  // multiply placed gammas with undivided intensity
  OffsetLevels,     // levels with an unknown energy offset dropped
  MergedGammas,     // two gammas between the same levels, intensities added
  SeveralParents,   // several P or N records, the first used
  IsomerSplit,      // the decay split at an isomer or at a level without transitions
  Bypass,           // transitions passing over an isomer
  Pruned,           // levels dropped to fit the capacity
  Count
};
const char* warningName(WarningKind kind);

struct Warning {
  WarningKind kind;
  int line;  // in the ENSDF file
  std::string text;
};

// Why a data set is not converted, for counting refusals.
enum class RefusalKind {
  None,
  DecayMode,      // a decay mode the program does not model
  Normalisation,  // no N or PN record, or a blank NR with relative intensities
  NoLevels,       // no level with a known energy
  ParentLevel,    // IT: no level at the parent's energy
  Range,          // a value beyond what the data file holds
  Count
};
const char* refusalName(RefusalKind kind);

struct Settings {
  double isomerThreshold = 1e-6;  // seconds
  std::string name;               // data-set name; empty: from the parent
};

struct Conversion {
  RefusalKind refusal = RefusalKind::None;
  std::string reason;  // why, one line
  std::vector<OutSet> sets;
  std::vector<Warning> warnings;
  // For a listing: levels and gammas of the ENSDF data set.
  int levels = 0;
  int gammas = 0;
};

// The parent as the data-set name is written: "CO-60", "HO-166M".
std::string parentName(const DataSet& set);

// The data set's decay mode as the program reads it: "EC" for electron
// capture and beta plus, else the DSID's token; empty when not modelled.
std::string programMode(const DataSet& set);

Conversion convert(const DataSet& set, const Settings& settings);

}  // namespace tcsum::ensdf
