#include "geometry/model.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "geometry/xcom.hpp"

namespace tcsum::geometry {

std::size_t PreparedSource::rayCount() const {
  std::size_t n = 0;
  for (const Rays& r : rays) n += r.weight.size();
  return n;
}

PreparedSource prepare(const Geometry& geometry, const Orders& orders) {
  PreparedSource p;
  p.materials = geometry.world.materials;
  p.orders = orders;
  p.points = emissionPoints(splitAtCrystal(geometry.source, geometry.world), orders.volume);
  p.rays.reserve(p.points.size());
  for (const EmissionPoint& e : p.points) p.rays.push_back(castRays(geometry.world, e.r, e.z, orders));
  return p;
}

std::vector<double> attenuations(const std::vector<Material>& materials, double energy) {
  std::vector<double> mu;
  mu.reserve(materials.size());
  for (const Material& m : materials) mu.push_back(attenuation(m, energy));
  return mu;
}

double pointTotal(const PreparedSource& source, std::size_t k, double energy) {
  return firstInteraction(source.rays[k], attenuations(source.materials, energy));
}

double sourceTotal(const PreparedSource& source, double energy) {
  std::vector<double> mu = attenuations(source.materials, energy);
  double sum = 0.0;
  for (std::size_t k = 0; k < source.points.size(); ++k)
    sum += source.points[k].weight * firstInteraction(source.rays[k], mu);
  return sum;
}

std::vector<double> totals(const PreparedSource& source, std::span<const double> energies,
                           std::optional<std::size_t> point) {
  const std::size_t materials = source.materials.size();
  std::vector<double> mu;
  mu.reserve(energies.size() * materials);
  for (double e : energies)
    for (const Material& m : source.materials) mu.push_back(attenuation(m, e));
  std::vector<double> sum(energies.size(), 0.0);
  if (point) {
    addFirstInteractions(source.rays[*point], mu, materials, 1.0, sum);
  } else {
    for (std::size_t k = 0; k < source.points.size(); ++k)
      addFirstInteractions(source.rays[k], mu, materials, source.points[k].weight, sum);
  }
  return sum;
}

std::vector<std::vector<double>> TotalsCache::totals(const PreparedSource& source,
                                                    std::span<const double> energies) {
  std::vector<double> missing;
  {
    std::lock_guard lock(mutex_);
    for (double e : energies)
      if (!byEnergy_.contains(e)) missing.push_back(e);
  }
  std::sort(missing.begin(), missing.end());
  missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
  // Below the cross-section tables (1 keV: L x-rays of the light elements)
  // no photon passes the end cap.
  std::vector<double> absorbed;
  while (!missing.empty() && missing.front() < kXcomMinEnergy) {
    absorbed.push_back(missing.front());
    missing.erase(missing.begin());
  }
  if (!absorbed.empty()) {
    std::lock_guard lock(mutex_);
    for (double e : absorbed) byEnergy_.emplace(e, std::vector<double>(source.points.size(), 0.0));
  }
  if (!missing.empty()) {
    // Computed outside the lock; a thread computing the same energy at the
    // same time gets the same numbers.
    const std::size_t materials = source.materials.size();
    std::vector<double> mu;
    mu.reserve(missing.size() * materials);
    for (double e : missing)
      for (const Material& m : source.materials) mu.push_back(attenuation(m, e));
    std::vector<std::vector<double>> computed(missing.size(), std::vector<double>(source.points.size()));
    std::vector<double> t(missing.size());
    for (std::size_t p = 0; p < source.points.size(); ++p) {
      std::fill(t.begin(), t.end(), 0.0);
      addFirstInteractions(source.rays[p], mu, materials, 1.0, t);
      for (std::size_t k = 0; k < missing.size(); ++k) computed[k][p] = t[k];
    }
    std::lock_guard lock(mutex_);
    for (std::size_t k = 0; k < missing.size(); ++k) byEnergy_.emplace(missing[k], std::move(computed[k]));
  }
  std::vector<std::vector<double>> out;
  out.reserve(energies.size());
  std::lock_guard lock(mutex_);
  for (double e : energies) out.push_back(byEnergy_.at(e));
  return out;
}

double LogLogCurve::at(double energy) const {
  std::size_t n = logEnergy.size();
  if (n == 1) return std::exp(logValue[0]);
  double x = std::log(energy);
  auto it = std::upper_bound(logEnergy.begin(), logEnergy.end(), x);
  std::size_t hi = std::clamp<std::size_t>(static_cast<std::size_t>(it - logEnergy.begin()), 1, n - 1);
  std::size_t lo = hi - 1;
  double f = (x - logEnergy[lo]) / (logEnergy[hi] - logEnergy[lo]);
  return std::exp(logValue[lo] + f * (logValue[hi] - logValue[lo]));
}

double LogLogCurve::lowest() const { return std::exp(logEnergy.front()); }
double LogLogCurve::highest() const { return std::exp(logEnergy.back()); }

namespace {

[[noreturn]] void fileFault(const std::string& message, const std::string& path, std::size_t line) {
  throw DescriptionError(message + ", file " + path + (line > 0 ? ", line " + std::to_string(line) : ""));
}

std::optional<double> decimal(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  double value = 0.0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// The rows of a CSV file with the header HEADER (or, where OPTIONAL is
// given, HEADER followed by it): numbers > 0, energies rising.
std::vector<std::vector<double>> readTable(const std::string& path, const std::string& header,
                                           const std::string& optional) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fileFault("cannot read the file", path, 0);
  std::string line;
  std::size_t number = 0;
  std::size_t columns = 0;
  std::vector<std::vector<double>> rows;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (columns == 0) {
      if (line == header) columns = static_cast<std::size_t>(std::count(header.begin(), header.end(), ',')) + 1;
      else if (!optional.empty() && line == header + "," + optional)
        columns = static_cast<std::size_t>(std::count(header.begin(), header.end(), ',')) + 2;
      else
        fileFault("the header must be " + header + (optional.empty() ? "" : "[," + optional + "]"), path, number);
      continue;
    }
    std::vector<double> row;
    std::string_view rest = line;
    for (;;) {
      std::size_t comma = rest.find(',');
      auto value = decimal(rest.substr(0, comma));
      if (!value || !(*value > 0.0)) fileFault("not a number > 0: " + std::string(rest.substr(0, comma)), path, number);
      row.push_back(*value);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    if (row.size() != columns) fileFault("expected " + std::to_string(columns) + " fields", path, number);
    if (!rows.empty() && !(row[0] > rows.back()[0])) fileFault("the energies must rise", path, number);
    if (row.size() > 1 && row[1] > 1.0) fileFault("an efficiency above 1", path, number);
    rows.push_back(std::move(row));
  }
  if (rows.empty()) fileFault("no data rows", path, number);
  return rows;
}

}  // namespace

std::vector<CalibrationPoint> readCalibration(const std::string& path) {
  std::vector<CalibrationPoint> out;
  for (const auto& row : readTable(path, "energy_keV,peak", "total")) {
    CalibrationPoint p{row[0], row[1], std::nullopt};
    if (row.size() > 2) p.total = row[2];
    out.push_back(p);
  }
  return out;
}

std::vector<std::pair<double, double>> readPeakToTotal(const std::string& path) {
  std::vector<std::pair<double, double>> out;
  for (const auto& row : readTable(path, "energy_keV,peak_to_total", "")) out.emplace_back(row[0], row[1]);
  return out;
}

PeakRule transferRule(const std::vector<CalibrationPoint>& calibration, const PreparedSource& reference,
                      const std::string& describe) {
  PeakRule rule;
  rule.describe = describe;
  bool totals = std::all_of(calibration.begin(), calibration.end(), [](const auto& p) { return p.total.has_value(); });
  if (totals) rule.totalFactor.emplace();
  for (const CalibrationPoint& p : calibration) {
    double omega = sourceTotal(reference, p.energy);
    if (!(omega > 0.0)) throw DescriptionError("the reference geometry sees no photons at the calibration energies");
    rule.peakPerTotal.logEnergy.push_back(std::log(p.energy));
    rule.peakPerTotal.logValue.push_back(std::log(p.peak / omega));
    if (totals) {
      rule.totalFactor->logEnergy.push_back(std::log(p.energy));
      rule.totalFactor->logValue.push_back(std::log(*p.total / omega));
    }
  }
  return rule;
}

PeakRule peakToTotalRule(const std::vector<std::pair<double, double>>& curve, const std::string& describe) {
  PeakRule rule;
  rule.describe = describe;
  for (auto [e, pt] : curve) {
    rule.peakPerTotal.logEnergy.push_back(std::log(e));
    rule.peakPerTotal.logValue.push_back(std::log(pt));
  }
  return rule;
}

namespace {

class ModelEfficiency final : public Efficiency {
 public:
  ModelEfficiency(std::shared_ptr<const PreparedSource> source, std::shared_ptr<const PeakRule> rule,
                  std::optional<std::size_t> point)
      : source_(std::move(source)), rule_(std::move(rule)), point_(point) {}

  EfficiencyPair at(double energy) const override {
    EfficiencyPair e;
    at(std::span(&energy, 1), std::span(&e, 1));
    return e;
  }

  void at(std::span<const double> energies, std::span<EfficiencyPair> out) const override {
    const std::vector<std::vector<double>> perPoint = source_->cache->totals(*source_, energies);
    for (std::size_t k = 0; k < energies.size(); ++k) {
      double energy = energies[k];
      double omega = 0.0;
      if (point_) {
        omega = perPoint[k][*point_];
      } else {
        for (std::size_t p = 0; p < source_->points.size(); ++p) omega += source_->points[p].weight * perPoint[k][p];
      }
      out[k].total = omega * (rule_->totalFactor ? rule_->totalFactor->at(energy) : 1.0) * totalScale_;
      out[k].peak = omega * rule_->peakPerTotal.at(energy) * peakScale_;
    }
  }

  std::size_t points() const override { return 1; }

  std::unique_ptr<Efficiency> scaled(std::span<const double> total, std::span<const double> peak) const override {
    auto copy = std::make_unique<ModelEfficiency>(*this);
    copy->totalScale_ *= total[0];
    copy->peakScale_ *= peak[0];
    return copy;
  }

  std::string describe() const override {
    std::string where = point_ ? "emission point " + std::to_string(*point_ + 1) + " of " +
                                     std::to_string(source_->points.size())
                               : source_->points.size() == 1
                                     ? "one emission point"
                                     : "mean over " + std::to_string(source_->points.size()) + " emission points";
    return "geometry model (" + where + "), peak " + rule_->describe;
  }

 private:
  std::shared_ptr<const PreparedSource> source_;
  std::shared_ptr<const PeakRule> rule_;
  std::optional<std::size_t> point_;
  double totalScale_ = 1.0;
  double peakScale_ = 1.0;
};

}  // namespace

std::shared_ptr<const Efficiency> modelEfficiency(std::shared_ptr<const PreparedSource> source,
                                                  std::shared_ptr<const PeakRule> rule,
                                                  std::optional<std::size_t> point) {
  return std::make_shared<ModelEfficiency>(std::move(source), std::move(rule), point);
}

double Accuracy::maxRelative() const {
  double worst = 0.0;
  for (std::size_t k = 0; k < energies.size(); ++k)
    if (refined[k] > 0.0) worst = std::max(worst, std::abs(total[k] - refined[k]) / refined[k]);
  return worst;
}

Accuracy estimateAccuracy(const Geometry& geometry, const PreparedSource& source,
                          const std::vector<double>& energies) {
  PreparedSource fine = prepare(geometry, source.orders.raised());
  Accuracy a;
  a.energies = energies;
  a.total = totals(source, energies);
  a.refined = totals(fine, energies);
  return a;
}

SampleEfficiency sourceEfficiency(const std::string& detectorFile, const std::string& sourceFile,
                                  const Calibration& calibration, const Orders& orders) {
  SampleEfficiency s;
  s.geometry = loadGeometry(detectorFile, sourceFile);
  s.sample = std::make_shared<const PreparedSource>(prepare(s.geometry, orders));
  if (!calibration.peakToTotal.empty()) {
    s.rule = std::make_shared<const PeakRule>(
        peakToTotalRule(readPeakToTotal(calibration.peakToTotal), "from the peak-to-total curve " + calibration.peakToTotal));
  } else {
    Geometry reference = loadGeometry(detectorFile, calibration.geometryFile);
    s.reference = std::make_shared<const PreparedSource>(prepare(reference, orders));
    s.rule = std::make_shared<const PeakRule>(transferRule(
        readCalibration(calibration.file), *s.reference,
        "transferred from " + calibration.file + " in " + calibration.geometryFile));
  }
  s.nodes = sampleNodes(s.sample, s.rule);
  s.average = modelEfficiency(s.sample, s.rule);
  return s;
}

SourceEfficiency sampleNodes(const std::shared_ptr<const PreparedSource>& sample,
                             const std::shared_ptr<const PeakRule>& rule) {
  SourceEfficiency nodes;
  for (std::size_t k = 0; k < sample->points.size(); ++k)
    nodes.push_back({sample->points[k].weight, modelEfficiency(sample, rule, k)});
  return nodes;
}

}  // namespace tcsum::geometry
