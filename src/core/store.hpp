#pragma once
// The data store: every quantity the stages of a run read and write, in one
// struct owned by the driver and passed by reference. Indexes count from 1,
// as in the domain (level 1 is the ground state, efficiency point 1 the first
// record of the efficiency block); every element access checks its index and
// ends the run with a diagnostic instead of touching memory outside the store.
#include <algorithm>
#include <array>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "core/fixed_text.hpp"
#include "core/header.hpp"

namespace tcsum {

// Every real of the store is an IEEE single, and every operation on it is
// rounded to single on its own; a platform that evaluates in a wider format
// would give other digits. (Fused multiply-add is switched off by the build.)
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<float>::digits == 24,
              "float must be IEEE 754 single precision");
static_assert(FLT_EVAL_METHOD == 0, "float operations must be evaluated in float, not wider");

// Where an element access stands in the code, filled in by the compiler at
// the call, so an index beyond the store is reported with its place.
struct SourceLocation {
  static constexpr SourceLocation current(const char* file = __builtin_FILE(),
                                          std::uint_least32_t line = __builtin_LINE()) noexcept {
    return {file, line};
  }
  const char* file_name() const noexcept { return file_; }
  std::uint_least32_t line() const noexcept { return line_; }
  const char* file_;
  std::uint_least32_t line_;
};

[[noreturn]] void indexBeyondStore(int32_t index, int32_t limit, const SourceLocation& where);

// A 1-based vector of N elements, all zero at construction.
template <typename T, int32_t N>
class Vec {
 public:
  T& operator()(int32_t i, const SourceLocation& where = SourceLocation::current()) {
    if (i < 1 || i > N) [[unlikely]]
      indexBeyondStore(i, N, where);
    return data_[static_cast<std::size_t>(i - 1)];
  }
  const T& operator()(int32_t i, const SourceLocation& where = SourceLocation::current()) const {
    if (i < 1 || i > N) [[unlikely]]
      indexBeyondStore(i, N, where);
    return data_[static_cast<std::size_t>(i - 1)];
  }
  static constexpr int32_t size() { return N; }
  void fill(T value) { data_.fill(value); }
  // Every element zero, as at construction.
  void clear() { data_ = {}; }

 private:
  std::array<T, N> data_{};
};

// A 1-based R x C matrix, indexed (row, column), all zero at construction.
template <typename T, int32_t R, int32_t C>
class Mat {
 public:
  T& operator()(int32_t i, int32_t j, const SourceLocation& where = SourceLocation::current()) {
    check(i, j, where);
    return data_[static_cast<std::size_t>((i - 1) * C + (j - 1))];
  }
  const T& operator()(int32_t i, int32_t j,
                      const SourceLocation& where = SourceLocation::current()) const {
    check(i, j, where);
    return data_[static_cast<std::size_t>((i - 1) * C + (j - 1))];
  }
  // Elements (i, 1) ... (i, n) of row i, checked once, for loops that read a
  // row many times: element (i, j) is row(i, n)[j - 1].
  std::span<const T> row(int32_t i, int32_t n,
                         const SourceLocation& where = SourceLocation::current()) const {
    check(i, n, where);
    return {data_.data() + static_cast<std::size_t>((i - 1) * C), static_cast<std::size_t>(n)};
  }
  static constexpr int32_t rows() { return R; }
  static constexpr int32_t columns() { return C; }
  void fill(T value) { data_.fill(value); }
  // Every element zero, as at construction.
  void clear() { data_ = {}; }
  // Sets the elements (i, j) with i, j <= N (at most the matrix) to VALUE.
  void fillCorner(int32_t n, T value) {
    const auto rows = static_cast<std::size_t>(std::min(n, R));
    const auto columns = static_cast<std::size_t>(std::min(n, C));
    for (std::size_t i = 0; i < rows; ++i)
      std::fill_n(data_.begin() + static_cast<std::ptrdiff_t>(i * C), columns, value);
  }

 private:
  static void check(int32_t i, int32_t j, const SourceLocation& where) {
    if (i < 1 || i > R) [[unlikely]]
      indexBeyondStore(i, R, where);
    if (j < 1 || j > C) [[unlikely]]
      indexBeyondStore(j, C, where);
  }
  std::array<T, static_cast<std::size_t>(R) * C> data_{};
};

// Capacities of the store. Each list of the data file ends with a record that
// takes a slot too, so a data set has at most 32 levels and the efficiency
// table at most 29 points.
inline constexpr int32_t kLevels = 33;
inline constexpr int32_t kEffPoints = 30;
inline constexpr int32_t kSubLevels = 60;

// What a data set may hold, as the converter and the other models see it:
// levels (the record ending the list takes the last slot), levels of an
// electron-capture data set (two sub-levels each) and efficiency points (the
// record closing the block takes the last column).
inline constexpr int32_t kDataSetLevels = kLevels - 1;
inline constexpr int32_t kCaptureDataSetLevels = kSubLevels / 2;
inline constexpr int32_t kTablePoints = kEffPoints - 1;
// The upper level number of the record that ends the transition list.
inline constexpr int32_t kEndOfTransitions = kLevels;

using LevelVec = Vec<float, kLevels>;
using LevelMat = Mat<float, kLevels, kLevels>;
using EffTable = Mat<float, 3, kEffPoints>;

// The data-set header and run scalars are those of DataSetHeader.
struct Store : DataSetHeader {
  // Efficiency block, read once per run.
  EffTable EFF;       // row 1 energy keV, row 2 total, row 3 full-energy peak (x 10^3)
  int32_t NEFF = 0;   // records of the block minus one
  int32_t KDET1 = 0;  // first digit of the detector number
  int32_t KDET = 0;   // second digit; detector code 7 widens the straight-line range
  Text32 DETTXT{};    // detector text
  EffTable ELOG;      // log10 of the efficiency table for the log-log range
  // Least step between neighbouring abscissae 1 ... NEFF of EFF and of ELOG
  // (0 unless they ascend), set with ELOG, for a faster nearest-point search.
  float effStep = 0.0f;
  float elogStep = 0.0f;

  // Decay scheme.
  int32_t NLEV = 0;
  LevelVec ELEV;    // level energy, keV
  LevelVec FEED;    // direct feeding, percent
  LevelVec PK;      // K-capture fraction of the capture feeding
  LevelMat EGAM;    // transition energy (upper, lower), keV
  LevelMat XTR;     // intensity as read, then transition probability
  LevelMat ALPHA;   // total conversion coefficient
  LevelMat ALPHAK;  // K-shell conversion coefficient

  // Where the data set stands in the data file, for warnings: the header's
  // record number (level i is record headerRecord + i), the record of every
  // transition read in this data set (0 for none) and the records that a
  // later one for the same transition replaced.
  struct Replaced {
    int32_t upper, lower, record, by;
  };
  int32_t headerRecord = 0;
  Mat<int32_t, kLevels, kLevels> transitionRecord;
  std::vector<Replaced> replaced;

  // Per-transition detection probabilities.
  LevelMat BPEAK;      // transition with its gamma in the full-energy peak
  LevelMat DMISS;      // transition with nothing detected
  float EPSG = 0.0f;   // peak efficiency at the current transition energy
  float EPSTG = 0.0f;  // total efficiency at the current transition energy

  // Cascade probabilities.
  LevelMat SUMPK;                             // sum-peak probability J -> I
  LevelVec NBELOW;                            // no detection below level I
  LevelVec POP;                               // population, percent
  LevelVec NABOVE;                            // population reached with nothing detected, percent
  Vec<float, kSubLevels> XFEED;               // capture sub-level feeding
  Mat<float, kSubLevels, kSubLevels> XTRANS;  // sub-level step probabilities
  Vec<float, kSubLevels> XPOP;                // sub-level populations

  // Line count rates, percent of decays.
  LevelMat RATE0;
  LevelMat RATE;
  LevelMat XRATE0;
  LevelMat XRATE;
  LevelVec ECRATE0;
  LevelVec ECRATE;
};

// "EC" followed by six blanks, compared over all eight characters.
bool isElectronCapture(const Store& s);

// Sets the per-data-set arrays of the store to zero before a data set is read.
void clearDataSet(Store& s);

}  // namespace tcsum
