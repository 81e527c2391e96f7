#include "outputs/uncertainty_table.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "outputs/text.hpp"

namespace tcsum {

namespace {

std::string fixed(float value, int decimals) {
  if (!std::isfinite(value)) return "-";
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::fixed, decimals);
  return {buffer.data(), result.ptr};
}

std::string rightAligned(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// Decimals that show U with two significant digits (4 for 0, at most 9).
int decimalsFor(float u) {
  if (!(u > 0.0f) || !std::isfinite(u)) return 4;
  const int exponent = static_cast<int>(std::floor(std::log10(u)));
  return std::clamp(1 - exponent, 0, 9);
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
  out += "  line      energy/keV   factor ± standard       95 % interval        S_total  S_peak\n";
  auto row = [&out](std::string line, float energy, float factor,
                    const std::optional<FactorUncertainty>& fu) {
    out += "  " + line + std::string(line.size() < 8 ? 8 - line.size() : 0, ' ');
    out += rightAligned(fixed(energy, 3), 12) + "  ";
    if (!fu) {
      out += fixed(factor, 4) + '\n';
      return;
    }
    const int d = decimalsFor(fu->standard);
    out += rightAligned(fixed(factor, d), 8) + " ± " + fixed(fu->standard, d);
    out += "   [" + fixed(fu->low95, d) + ", " + fixed(fu->high95, d) + "]";
    out += "  " + rightAligned(fixed(fu->sensitivityTotal, 3), 8);
    out += "  " + rightAligned(fixed(fu->sensitivityPeak, 3), 7) + '\n';
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
  shown_ = true;
  lastShown_ = now;
  out_ << "\r" << name_ << ": " << std::to_string(100 * done / total) << " %" << std::flush;
}

}  // namespace tcsum
