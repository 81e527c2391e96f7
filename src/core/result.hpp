#pragma once
// The results of a run as plain values: what the stages computed for each
// data set, in the units and order of the report, for every writer to render
// (the German report, JSON, CSV). Writers read these values and compute
// nothing; every number here is the program's own 32-bit value.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/fixed_text.hpp"
#include "core/lines.hpp"

namespace tcsum {

// Something in the data file that a user should check: the run goes on and
// the report is unchanged. WHERE names the part of the data file, as the
// console line shows it: `data set "CO60"` (the name as written in columns
// 1-8, trailing blanks removed), `efficiency block`, or `end marker`.
// RECORD is the line of the data file where the cause lies; TEXT says what
// was done and what to check.
// MINOR marks a finding too small to change a factor (a level balance within
// kBalanceRelevance): every output keeps it, the terminal sums such findings
// up in one line.
struct Warning {
  std::string where;
  int32_t record = 0;
  std::string text;
  bool minor = false;
};

// A level whose population and depopulation differ by less than this, in
// percent of decays, cannot change any factor by more than that share: its
// balance finding is minor.
inline constexpr float kBalanceRelevance = 0.1f;

// The terminal shows at most this many items of a list (levels, energies);
// the rest as "... and N more".
inline constexpr std::size_t kListedItems = 10;

// A point of the efficiency table as read: energy in keV, efficiencies x 10^3.
struct EfficiencyPoint {
  float energy;
  float total;
  float peak;
};

// How the efficiency function takes its value at an energy.
enum class EfficiencyRange { zero, straightLine, quadratic, logLog };

// The efficiency function at one energy, as the stages use it: efficiencies
// as fractions of 1, the range each comes from, and whether the energy lies
// outside the table (below its first or above its last point).
struct CurveSample {
  float energy;  // keV
  float total;
  float peak;
  EfficiencyRange totalRange;
  EfficiencyRange peakRange;
  bool extrapolated;
};

// The efficiency block of the data file.
struct DetectorResult {
  int32_t KDET1 = 0;
  int32_t KDET = 0;
  Text32 DETTXT{};
  std::vector<EfficiencyPoint> table;  // points 1 ... NEFF
  std::vector<Warning> warnings;       // on the table, in record order
  // Dense samples of the efficiency function in ascending energy, when an
  // output draws it; empty otherwise, or when the table cannot be sampled.
  std::vector<CurveSample> efficiencyCurve;
};

struct LevelResult {
  int32_t number;
  float energy;      // keV
  float feeding;     // percent of decays
  float PK;          // K-capture fraction of the capture feeding
  float population;  // percent of decays, once the cascade is computed
};

// A transition that takes part in the computation (a row of the report's
// transition table).
struct TransitionResult {
  int32_t upper;
  int32_t lower;
  float energy;     // keV
  float intensity;  // gamma-ray emission intensity as read, percent
  float ALPHA;
  float ALPHAK;
  float EPSTG;        // total efficiency at the transition energy
  float EPSG;         // full-energy-peak efficiency at the transition energy
  float probability;  // transition probability per de-excitation of the upper level
};

// A level whose population and depopulation disagree.
struct BalanceFinding {
  int32_t level;
  float PIN;   // populated, percent
  float POUT;  // depopulated, percent
};

// How a correction factor varies with the efficiency table (filled only when
// the run propagates efficiency uncertainties): over the Monte Carlo samples
// the mean, the standard deviation and the shortest interval holding 95 % of
// them; and the relative change of the factor per relative change of every
// total efficiency, and of every full-energy-peak efficiency, of the table.
struct FactorUncertainty {
  float mean;
  float standard;
  float low95;
  float high95;
  float sensitivityTotal;
  float sensitivityPeak;
};

// A gamma line of the results table.
struct GammaLine {
  int32_t upper;
  int32_t lower;
  float energy;
  float RATE0;  // count per 100 decays without coincidences
  float RATE;   // ... with coincidences
  float KORR;   // correction factor RATE0 / RATE
  std::optional<FactorUncertainty> uncertainty{};
};

// One source of K x-rays: the K conversion of a transition, or the K capture
// into a level (then upper is that level and lower is 0).
struct XrayContribution {
  enum class Source { conversion, capture };
  Source source;
  int32_t upper;
  int32_t lower;
  float RATE0;
  float RATE;
  float KORR;
};

// The K x-ray line: the counts of its contributions summed; its factor is
// their count-weighted mean.
struct XrayLine {
  float energy;
  float RATE0;
  float RATE;
  float KORR;
  std::vector<XrayContribution> contributions;
  std::optional<FactorUncertainty> uncertainty{};
};

// Whether the efficiency table is off by one factor as a whole (full) or
// point by point (none), for each of its two curves.
enum class EfficiencyCorrelation { full, none };

// What the uncertainties of a data set's factors were computed from.
struct UncertaintySettings {
  float uTotalPercent = 0.0f;  // relative standard uncertainty of the total efficiencies
  float uPeakPercent = 0.0f;   // ... of the full-energy-peak efficiencies
  EfficiencyCorrelation correlation = EfficiencyCorrelation::full;
  int64_t samples = 0;
  uint64_t seed = 0;
};
// The samples and the seed of an uncertainty run unless the command line
// names others.
inline constexpr int64_t kDefaultSamples = 10000;
inline constexpr uint64_t kDefaultSeed = 20231117;
// Below this many samples fewer than three lie beyond each end of the
// shortest 95 % interval, which then moves from seed to seed by much of its
// width: a run (or tcsum factors) with fewer warns that the interval is not
// meaningful.
inline constexpr int64_t kMeaningfulSamples = 100;

// How far the computation of a data set got; a run stopped by a fault leaves
// its last data set short of `complete`.
enum class Stage { header, levels, transitions, complete };

struct DataSetResult {
  int32_t number = 0;  // 1 for the first data set of the file
  Text8 DSNAME{};
  Text8 DECMODE{};
  bool electronCapture = false;
  float EX = 0.0f;
  float OMEGAK = 0.0f;
  float EPSTX = 0.0f;
  float EPSX = 0.0f;
  int32_t IDAY = 0;
  int32_t IMONTH = 0;
  int32_t IYEAR = 0;
  std::vector<LevelResult> levels;
  std::vector<BalanceFinding> balance;
  std::vector<TransitionResult> transitions;
  std::vector<GammaLine> gammas;                   // in the order of the results table
  std::optional<XrayLine> xray;                    // after the gamma lines, when it has a count
  // The same lines as every model gives them, in double (the classic model's
  // values exactly, with the scheme's level indexes: level number - 1); the
  // writers read the fields above.
  std::vector<LineResult> lines;
  std::optional<UncertaintySettings> uncertainty;  // set when the factors have uncertainties
  Stage reached = Stage::header;
  std::vector<Warning> warnings;  // in record order
};

}  // namespace tcsum
