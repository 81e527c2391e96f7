#pragma once
// The data file's efficiency table as an efficiency source: its points with
// the interpolation of EPS (straight lines, quadratics, the log-log
// quadratic), in float, bit for bit what the stages read from the store.
#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "core/efficiency.hpp"
#include "core/store.hpp"
#include "efficiency/eps.hpp"

namespace tcsum {

class TableEfficiency final : public Efficiency {
 public:
  // The table of S (EFF, NEFF, KDET1, KDET), its log table built here.
  explicit TableEfficiency(const Store& s);
  explicit TableEfficiency(const EfficiencyTable& table) : table_(table) {}

  // EPS at the energy rounded to float (exact for a float of the data file).
  EfficiencyPair at(double energy) const override;
  void at(std::span<const double> energies, std::span<EfficiencyPair> out) const override;

  // Points 1 ... NEFF and the record that closed the block, which the
  // straight-line range reaches above the last point.
  std::size_t points() const override;
  // Each point's total and peak efficiency times the factor rounded to
  // float, in float, and the log table's ordinates built again.
  std::unique_ptr<Efficiency> scaled(std::span<const double> total,
                                     std::span<const double> peak) const override;
  std::string describe() const override;

  const EfficiencyTable& table() const { return table_; }

 private:
  EfficiencyTable table_;
};

}  // namespace tcsum
