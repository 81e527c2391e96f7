#pragma once
// An efficiency table interpolated linearly in log-log space: between two
// points ln(eps) is a straight line in ln(E), so the curve passes through
// every point and is monotone between neighbours. Outside the table the end
// intervals are continued (the lowest two points below the table, the
// highest two above it); a caller names the energies concerned in a warning
// (outsideTable). Every efficiency given out is bounded: the total to at
// most 1, the peak to at most the total.
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/efficiency.hpp"
#include "efficiency/csv_table.hpp"

namespace tcsum::efficiency {

class LogLogTable final : public Efficiency {
 public:
  // POINTS: at least two, energies ascending, efficiencies positive.
  // SOURCE names where they came from, for describe().
  LogLogTable(std::vector<TablePoint> points, std::string source);

  EfficiencyPair at(double energy) const override;
  std::size_t points() const override { return points_.size(); }
  std::unique_ptr<Efficiency> scaled(std::span<const double> total,
                                     std::span<const double> peak) const override;
  std::string describe() const override;

  // The energies of ENERGIES below the first point or above the last.
  std::vector<double> outsideTable(std::span<const double> energies) const;
  const std::vector<TablePoint>& table() const { return points_; }

 private:
  std::vector<TablePoint> points_;
  std::vector<double> lnEnergy_, lnTotal_, lnPeak_;
  std::string source_;
};

}  // namespace tcsum::efficiency
