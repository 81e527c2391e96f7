#include "efficiency/table_efficiency.hpp"

#include <algorithm>

namespace tcsum {

namespace {
constexpr int32_t kTotalRow = 2;
constexpr int32_t kPeakRow = 3;
}  // namespace

TableEfficiency::TableEfficiency(const Store& s) : table_(efficiencyTableOf(s)) {
  buildLogTable(table_);
}

EfficiencyPair TableEfficiency::at(double energy) const {
  const Efficiencies e = efficienciesAt(table_, static_cast<float>(energy));
  return {static_cast<double>(e.total), static_cast<double>(e.peak)};
}

void TableEfficiency::at(std::span<const double> energies, std::span<EfficiencyPair> out) const {
  for (std::size_t k = 0; k < energies.size(); ++k)
    out[k] = at(energies[k]);
}

std::size_t TableEfficiency::points() const {
  return static_cast<std::size_t>(std::clamp(table_.NEFF + 1, 0, kEffPoints));
}

std::unique_ptr<Efficiency> TableEfficiency::scaled(std::span<const double> total,
                                                    std::span<const double> peak) const {
  auto copy = std::make_unique<TableEfficiency>(table_);
  EfficiencyTable& t = copy->table_;
  const auto n = static_cast<int32_t>(std::min({points(), total.size(), peak.size()}));
  for (int32_t k = 1; k <= n; ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    t.EFF(kTotalRow, k) = t.EFF(kTotalRow, k) * static_cast<float>(total[i]);
    t.EFF(kPeakRow, k) = t.EFF(kPeakRow, k) * static_cast<float>(peak[i]);
  }
  buildLogOrdinates(t);
  return copy;
}

std::string TableEfficiency::describe() const {
  return "efficiency table of the data file, " + std::to_string(table_.NEFF) + " points";
}

}  // namespace tcsum
