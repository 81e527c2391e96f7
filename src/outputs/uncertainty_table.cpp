#include "outputs/uncertainty_table.hpp"

#include <algorithm>
#include <cmath>

#include "core/number_text.hpp"
#include "outputs/text.hpp"

namespace tcsum {

namespace {

// VALUE with DECIMALS decimals; a value that rounds to zero has no sign.
std::string fixed(float value, int decimals) {
  if (!std::isfinite(value)) return "-";
  std::string out = text::fixed(value, decimals);
  if (out.front() == '-' && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
  return out;
}

std::string significant(float value, int digits) {
  if (!std::isfinite(value)) return "-";
  return text::significant(value, digits);
}

std::string leftAligned(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string rightAligned(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// Decimals that show U (> 0) with two significant digits.
int decimalsFor(float u) {
  return std::max(1 - static_cast<int>(std::floor(std::log10(u))), 0);
}

std::string percent(float value) {
  return shortestDecimal(value) + " %";
}

}  // namespace

std::string uncertaintyTable(const DataSetResult& ds) {
  if (!ds.uncertainty) return {};
  const UncertaintySettings& u = ds.uncertainty.value();
  std::string out = utf8FromCodePage437(trimmedName(ds.DSNAME)) +
                    ": correction factors, efficiency uncertainty total " +
                    percent(u.uTotalPercent) + ", peak " + percent(u.uPeakPercent) + " (" +
                    (u.correlation == EfficiencyCorrelation::full ? "full" : "no") +
                    " correlation; " + std::to_string(u.samples) + " samples, seed " +
                    std::to_string(u.seed) + ")\n";
  out +=
      "  line      energy/keV      factor ± standard     95 % interval          S_total  S_peak\n";
  auto row = [&out](const std::string& line, float energy, float factor,
                    const std::optional<FactorUncertainty>& fu) {
    out += "  " + leftAligned(line, 8) + rightAligned(fixed(energy, 3), 12);
    if (!fu) {
      out += rightAligned(significant(factor, 5), 12) + '\n';
      return;
    }
    // The standard uncertainty with two significant digits, the factor and
    // its interval to the same decimal place, at most the sixth (a factor
    // below 0.001 with three significant digits); without an uncertainty
    // the factor with five.
    constexpr int kMostDecimals = 6;
    const bool rounded = fu->standard > 0.0f && std::isfinite(fu->standard);
    const int d = rounded ? decimalsFor(fu->standard) : 0;
    auto shown = [&](float v) {
      if (!rounded) return significant(v, 5);
      return std::fabs(factor) < 1e-3f ? significant(v, 3) : fixed(v, std::min(d, kMostDecimals));
    };
    const std::string standard =
        d <= kMostDecimals ? fixed(fu->standard, d) : significant(fu->standard, 2);
    out += rightAligned(shown(factor), 12) + " ± " + leftAligned(standard, 10);
    out += leftAligned("[" + shown(fu->low95) + ", " + shown(fu->high95) + "]", 22);
    out += rightAligned(fixed(fu->sensitivityTotal, 3), 8);
    out += rightAligned(fixed(fu->sensitivityPeak, 3), 8) + '\n';
  };
  for (const GammaLine& g : ds.gammas)
    row(std::to_string(g.upper) + " -> " + std::to_string(g.lower), g.energy, g.KORR,
        g.uncertainty);
  if (ds.xray) row("K x-ray", ds.xray->energy, ds.xray->KORR, ds.xray->uncertainty);
  return out;
}

ProgressLine::ProgressLine(std::ostream& out, bool terminal, std::string name)
    : out_(out), terminal_(terminal), name_(std::move(name)) {}

ProgressLine::~ProgressLine() {
  if (shown_) out_ << "\r\033[K" << std::flush;
}

void ProgressLine::operator()(int64_t done, int64_t total) {
  using namespace std::chrono;
  if (!terminal_ || total <= 0) return;
  const auto now = steady_clock::now();
  if (done == 0) {
    start_ = now;
    return;
  }
  if (!shown_) {
    // Shown once the time so far, scaled to all the work, exceeds a second.
    const duration<double> elapsed = now - start_;
    if (done >= total ||
        elapsed.count() * static_cast<double>(total) / static_cast<double>(done) <= 1.0)
      return;
  } else if (now - lastShown_ < milliseconds(100) && done < total) {
    return;
  }
  const int64_t percent = 100 * done / total;
  if (shown_ && percent == lastPercent_) return;
  shown_ = true;
  lastShown_ = now;
  lastPercent_ = percent;
  out_ << "\r" << name_ << ": " << std::to_string(percent) << " %" << std::flush;
}

}  // namespace tcsum
