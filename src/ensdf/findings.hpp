#pragma once
// What the conversion of an ENSDF decay data set reports: its warnings, why a
// data set is refused, and the settings it is done with. Shared by the
// building of the decay scheme and the writing of data sets.
#include <string>
#include <string_view>
#include <vector>

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
  MergedGammas,     // two gammas between the same levels, written in data sets of their own
  SeveralParents,   // several P or N records, the first used
  IsomerSplit,      // the decay split at an isomer
  Bypass,           // transitions passing over an isomer
  Pruned,           // levels dropped to fit the capacity
  SeveralEnds,      // cascades with several ends, one data set per end
  Count
};
const char* warningName(WarningKind kind);

// How the warning of kind NoConversion begins (the converter adds what it
// writes instead).
constexpr std::string_view kNoConversion = "no conversion coefficient given";

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
  BetaPlus,       // positrons in more than kBetaPlusShare of decays
  Value,          // a value the program refuses or cannot use (ALPHA -1, all intensities 0)
  Count
};
const char* refusalName(RefusalKind kind);

struct Settings {
  double isomerThreshold = 1e-6;  // seconds
  std::string name;               // data-set name; empty: from the parent
  bool allowBetaPlus = false;     // write a decay with positrons above kBetaPlusShare
};

// Positrons in percent of decays above which a data set is refused: the
// data file has no annihilation radiation, which sums with the gamma rays.
constexpr double kBetaPlusShare = 1.0;

// At most ten items of a list, then how many more: a warning stays readable
// when a data set has hundreds of such gammas.
inline std::string listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size() && i < 10; ++i)
    text += (i == 0 ? "" : ", ") + items[i];
  if (items.size() > 10) text += " and " + std::to_string(items.size() - 10) + " more";
  return text;
}

}  // namespace tcsum::ensdf
