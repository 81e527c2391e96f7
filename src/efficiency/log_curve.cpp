#include "efficiency/log_curve.hpp"

#include <toml++/toml.h>

#include <algorithm>
#include <cmath>

#include "core/number_text.hpp"
#include "efficiency/text_file.hpp"

namespace tcsum::efficiency {

namespace {

std::string numberText(double value) {
  return text::shortest(value);
}

// ln eps at ln E by Horner's rule.
double lnEfficiency(const std::vector<double>& c, double lnE) {
  double sum = 0.0;
  for (auto k = c.rbegin(); k != c.rend(); ++k) sum = sum * lnE + *k;
  return sum;
}

}  // namespace

LogPolynomialCurve::LogPolynomialCurve(CurveTerms terms, std::string source)
    : terms_(std::move(terms)), source_(std::move(source)) {}

EfficiencyPair LogPolynomialCurve::unbounded(double energy) const {
  if (!(energy > 0.0)) return {0.0, 0.0};
  const double lnE = std::log(terms_.mev ? energy / 1000.0 : energy);
  return {terms_.totalScale * std::exp(lnEfficiency(terms_.total, lnE)),
          terms_.peakScale * std::exp(lnEfficiency(terms_.peak, lnE))};
}

EfficiencyPair LogPolynomialCurve::at(double energy) const {
  EfficiencyPair e = unbounded(energy);
  e.total = std::min(e.total, 1.0);
  e.peak = std::min(e.peak, e.total);
  return e;
}

std::unique_ptr<Efficiency> LogPolynomialCurve::scaled(std::span<const double> total,
                                                       std::span<const double> peak) const {
  CurveTerms terms = terms_;
  terms.totalScale *= total[0];
  terms.peakScale *= peak[0];
  return std::make_unique<LogPolynomialCurve>(std::move(terms), source_);
}

std::string LogPolynomialCurve::describe() const {
  std::string text = "efficiency curve " + source_ + " (ln eps = sum c_i (ln E)^i, E in " +
                     (terms_.mev ? "MeV" : "keV") + ", " + std::to_string(terms_.total.size()) +
                     " total and " + std::to_string(terms_.peak.size()) + " peak coefficients";
  if (terms_.range)
    text += ", fitted " + numberText(terms_.range->first) + " to " + numberText(terms_.range->second) +
            " keV";
  return text + ")";
}

std::vector<std::string> LogPolynomialCurve::findings(std::span<const double> energies) const {
  std::vector<std::string> out;
  std::string outside, bounded;
  for (double e : energies) {
    if (terms_.range && (e < terms_.range->first || e > terms_.range->second))
      outside += (outside.empty() ? "" : ", ") + numberText(e);
    const EfficiencyPair raw = unbounded(e);
    if (raw.total > 1.0 || raw.peak > std::min(raw.total, 1.0))
      bounded += (bounded.empty() ? "" : ", ") + numberText(e) + " keV (total " +
                 numberText(raw.total) + ", peak " + numberText(raw.peak) + ")";
  }
  if (!outside.empty())
    out.push_back("efficiency curve " + source_ + ": energies outside its range " +
                  numberText(terms_.range->first) + " to " + numberText(terms_.range->second) +
                  " keV, the fit extrapolated: " + outside + " keV");
  if (!bounded.empty())
    out.push_back("efficiency curve " + source_ +
                  ": total above 1 or peak above total, used 1 and the total: " + bounded);
  return out;
}

LogPolynomialCurve parseEfficiencyCurve(std::string_view text, const std::string& name) {
  auto refuse = [&name](const toml::source_region& where, const std::string& reason) {
    throw InputFileError(name + ":" + std::to_string(std::max<unsigned>(where.begin.line, 1)) +
                         ": " + reason);
  };
  toml::table doc;
  try {
    doc = toml::parse(text, name);
  } catch (const toml::parse_error& e) {
    std::string what(e.description());
    std::replace(what.begin(), what.end(), '\n', ' ');
    refuse(e.source(), "not a TOML file: " + what);
  }
  CurveTerms terms;
  for (auto&& [key, node] : doc) {
    const std::string k(key.str());
    if (k != "energy_unit" && k != "energy_range" && k != "total" && k != "peak")
      refuse(node.source(), "unknown key \"" + k +
                                "\" (an efficiency curve has energy_unit, energy_range, [total] "
                                "and [peak])");
  }
  if (const toml::node* unit = doc.get("energy_unit")) {
    const std::optional<std::string> u = unit->value<std::string>();
    if (!u || (*u != "keV" && *u != "MeV"))
      refuse(unit->source(), "energy_unit must be \"keV\" or \"MeV\"");
    terms.mev = *u == "MeV";
  }
  const double toKeV = terms.mev ? 1000.0 : 1.0;
  if (const toml::node* range = doc.get("energy_range")) {
    const toml::array* a = range->as_array();
    std::optional<double> lo, hi;
    if (a && a->size() == 2) {
      lo = (*a)[0].value<double>();
      hi = (*a)[1].value<double>();
    }
    if (!lo || !hi || !(*lo > 0.0) || !(*hi > *lo) || !std::isfinite(*hi))
      refuse(range->source(), "energy_range must be two ascending positive energies, [low, high]");
    terms.range = std::pair{*lo * toKeV, *hi * toKeV};
  }
  auto coefficients = [&](const char* section, std::vector<double>& out) {
    const toml::node* node = doc.get(section);
    if (!node) refuse(toml::source_region{}, std::string("no [") + section + "] section");
    const toml::table* t = node->as_table();
    if (!t) refuse(node->source(), std::string(section) + " must be a section [" + section + "]");
    for (auto&& [key, value] : *t)
      if (key.str() != "coefficients")
        refuse(value.source(), "unknown key \"" + std::string(key.str()) + "\" in [" + section +
                                   "] (it has only coefficients)");
    const toml::node* c = t->get("coefficients");
    if (!c) refuse(node->source(), std::string("[") + section + "] has no coefficients");
    const toml::array* a = c->as_array();
    if (!a || a->empty() || a->size() > kMaxCurveCoefficients)
      refuse(c->source(), std::string("[") + section + "] coefficients must be a list of 1 to " +
                              std::to_string(kMaxCurveCoefficients) + " numbers");
    for (const toml::node& v : *a) {
      const std::optional<double> x = v.value<double>();
      if (!x || !std::isfinite(*x))
        refuse(v.source(), std::string("[") + section + "] coefficients: not a finite number");
      out.push_back(*x);
    }
  };
  coefficients("total", terms.total);
  coefficients("peak", terms.peak);
  LogPolynomialCurve curve(std::move(terms), name);
  // Where the fit holds (100 to 2000 keV when the file does not say), the
  // efficiencies must be fractions: a curve giving more than 1 there was
  // fitted to percent or to counts.
  {
    const auto [lo, hi] = curve.terms().range.value_or(std::pair{100.0, 2000.0});
    for (int k = 0; k <= 100; ++k) {
      const double e = lo * std::pow(hi / lo, k / 100.0);
      const EfficiencyPair raw = [&] {
        const double lnE = std::log(curve.terms().mev ? e / 1000.0 : e);
        return EfficiencyPair{std::exp(lnEfficiency(curve.terms().total, lnE)),
                              std::exp(lnEfficiency(curve.terms().peak, lnE))};
      }();
      if (!(raw.total <= 1.0) || !(raw.peak <= 1.0))
        refuse(doc.source(), "the curve gives an efficiency above 1 at " + numberText(e) +
                                 " keV inside " + (curve.terms().range ? "energy_range" : "100 to 2000 keV") + " (total " + numberText(raw.total) +
                                 ", peak " + numberText(raw.peak) +
                                 "): it looks like percent or counts; fit fractions");
    }
  }
  return curve;
}

LogPolynomialCurve readEfficiencyCurve(const std::string& path) {
  return parseEfficiencyCurve(readTextFile(path), path);
}

}  // namespace tcsum::efficiency
