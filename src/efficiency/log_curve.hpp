#pragma once
// An efficiency curve as spectrum-analysis programs fit it:
//   ln eps(E) = sum_i c_i (ln E)^i,  i = 0 .. n-1, n <= 10,
// for the total and for the full-energy-peak efficiency, E in keV unless
// the file says MeV. The file (TOML):
//
//   energy_unit = "keV"             # or "MeV"; optional, default keV
//   energy_range = [40.0, 3000.0]   # optional: where the fit holds
//   [total]
//   coefficients = [-1.2, 0.35, -0.08]
//   [peak]
//   coefficients = [-2.1, 0.41, -0.09]
//
// Every efficiency given out is bounded: the total to at most 1, the peak to
// at most the total; the caller names energies where a bound acted or that
// lie outside energy_range in a warning (findings).
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/efficiency.hpp"

namespace tcsum::efficiency {

inline constexpr std::size_t kMaxCurveCoefficients = 10;

struct CurveTerms {
  std::vector<double> total;  // c_0 .. c_{n-1}
  std::vector<double> peak;
  bool mev = false;           // the coefficients take ln(E / MeV)
  std::optional<std::pair<double, double>> range;  // keV
  double totalScale = 1.0;    // factors an uncertainty run applies
  double peakScale = 1.0;
};

class LogPolynomialCurve final : public Efficiency {
 public:
  LogPolynomialCurve(CurveTerms terms, std::string source);

  EfficiencyPair at(double energy) const override;
  std::size_t points() const override { return 1; }
  std::unique_ptr<Efficiency> scaled(std::span<const double> total,
                                     std::span<const double> peak) const override;
  std::string describe() const override;

  // One text per finding over ENERGIES (keV): outside the range, an
  // efficiency bounded.
  std::vector<std::string> findings(std::span<const double> energies) const;
  const CurveTerms& terms() const { return terms_; }

 private:
  EfficiencyPair unbounded(double energy) const;
  CurveTerms terms_;
  std::string source_;
};

// The curve of TEXT (NAME for the messages) or of the file PATH. Throws
// InputFileError with one line "FILE:LINE: reason".
LogPolynomialCurve parseEfficiencyCurve(std::string_view text, const std::string& name);
LogPolynomialCurve readEfficiencyCurve(const std::string& path);

}  // namespace tcsum::efficiency
