#include "efficiency/loglog_table.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/number_text.hpp"

namespace tcsum::efficiency {

namespace {

std::string numberText(double value) {
  return text::shortest(value);
}

}  // namespace

LogLogTable::LogLogTable(std::vector<TablePoint> points, std::string source)
    : points_(std::move(points)), source_(std::move(source)) {
  if (points_.size() < 2) throw std::invalid_argument("a log-log table needs two points");
  for (const TablePoint& p : points_) {
    lnEnergy_.push_back(std::log(p.energy));
    lnTotal_.push_back(std::log(p.total));
    lnPeak_.push_back(std::log(p.peak));
  }
}

EfficiencyPair LogLogTable::at(double energy) const {
  if (!(energy > 0.0)) return {0.0, 0.0};
  const double x = std::log(energy);
  // The interval [k, k+1] holding X, or the end interval on its side.
  const auto above = std::upper_bound(lnEnergy_.begin(), lnEnergy_.end(), x);
  std::size_t k = static_cast<std::size_t>(above - lnEnergy_.begin());
  k = std::clamp<std::size_t>(k, 1, lnEnergy_.size() - 1) - 1;
  const double t = (x - lnEnergy_[k]) / (lnEnergy_[k + 1] - lnEnergy_[k]);
  auto line = [&](const std::vector<double>& y) { return std::exp(y[k] + t * (y[k + 1] - y[k])); };
  EfficiencyPair e{line(lnTotal_), line(lnPeak_)};
  e.total = std::min(e.total, 1.0);
  e.peak = std::min(e.peak, e.total);
  return e;
}

std::unique_ptr<Efficiency> LogLogTable::scaled(std::span<const double> total,
                                                std::span<const double> peak) const {
  std::vector<TablePoint> points = points_;
  for (std::size_t k = 0; k < points.size(); ++k) {
    points[k].total *= total[k];
    points[k].peak *= peak[k];
  }
  return std::make_unique<LogLogTable>(std::move(points), source_);
}

std::string LogLogTable::describe() const {
  return "efficiency table " + source_ + " (" + std::to_string(points_.size()) + " points, " +
         numberText(points_.front().energy) + " to " + numberText(points_.back().energy) +
         " keV), interpolated linearly in log-log space";
}

std::vector<double> LogLogTable::outsideTable(std::span<const double> energies) const {
  std::vector<double> out;
  for (double e : energies)
    if (e < points_.front().energy || e > points_.back().energy) out.push_back(e);
  return out;
}

}  // namespace tcsum::efficiency
