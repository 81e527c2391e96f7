#include "html/charts.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <vector>

#include "core/number_text.hpp"
#include "outputs/text.hpp"

namespace tcsum::html {

using plot::Svg;
using Points = std::vector<std::pair<double, double>>;

namespace {

constexpr std::array<uint64_t, 11> kPowersOfTen = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000, 10000000000};

// Six significant digits of a magnitude in [2^-14, 2^17), as to_chars gives
// them in general format: the exact value M / 2^shift scaled by 10^(5 - X)
// to six digits, rounded half to even in integers, so the digits are those
// of the exact binary value. False, and nothing written, for any other value.
bool appendSixDigits(std::string& out, float value) {
  // The magnitude is M / 2^shift with the float's 24-bit significand M;
  // shift is 7 to 37 in these binades.
  const uint32_t bits = std::bit_cast<uint32_t>(value) & 0x7fffffffu;
  const int biased = static_cast<int>(bits >> 23);
  if (biased < 127 - 14 || biased >= 127 + 17) return false;
  const uint64_t m = (bits & 0x7fffffu) | 0x800000u;
  const int shift = 150 - biased;
  // The decimal exponent X: 10^X <= M / 2^shift, so 10^5 * 2^shift <=
  // M * 10^(5 - X); X is -5 to 5, and every product stays below 2^58.
  int x = 5;
  while (m * kPowersOfTen[static_cast<std::size_t>(5 - x)] < (uint64_t{100000} << shift))
    --x;
  const uint64_t scaled = m * kPowersOfTen[static_cast<std::size_t>(5 - x)];
  uint64_t digits = scaled >> shift;
  const uint64_t rest = scaled & ((uint64_t{1} << shift) - 1), half = uint64_t{1} << (shift - 1);
  if (rest > half || (rest == half && digits % 2 == 1)) ++digits;
  if (digits == 1000000) {  // 9.999995 and above round up to the next decade
    digits = 100000;
    ++x;
  }
  char d[6];
  for (int k = 5; k >= 0; --k, digits /= 10)
    d[k] = static_cast<char>('0' + digits % 10);
  int last = 5;  // trailing zeros are not written
  while (d[last] == '0')
    --last;
  if (value < 0) out += '-';
  if (x < -4) {  // X is 5 at most: scientific notation only below 10^-4
    out += d[0];
    if (last > 0) out += '.';
    out.append(d + 1, static_cast<std::size_t>(last));
    out += "e-0";
    out += static_cast<char>('0' - x);
  } else if (x < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-x - 1), '0');
    out.append(d, static_cast<std::size_t>(last + 1));
  } else {
    out.append(d, static_cast<std::size_t>(x + 1));
    if (last > x) {
      out += '.';
      out.append(d + x + 1, static_cast<std::size_t>(last - x));
    }
  }
  return true;
}

}  // namespace

void appendSignificant(std::string& out, float value) {
  if (appendSixDigits(out, value)) return;
  if (value == 0.0f) {
    out += std::signbit(value) ? "-0" : "0";
  } else if (std::isnan(value)) {
    out += "NaN";
  } else if (std::isinf(value)) {
    out += value > 0 ? "∞" : "-∞";
  } else {
    text::appendSignificant(out, value, 6);
  }
}

std::string significant(float value) {
  std::string out;
  appendSignificant(out, value);
  return out;
}

std::string asRead(float value) {
  const std::string digits = shortestDecimal(value);
  return digits.empty() ? significant(value) : digits;
}

namespace {

// Efficiency chart geometry (pixels).
constexpr double kEffWidth = 760, kEffHeight = 420;
constexpr double kEffLeft = 66, kEffRight = 728, kEffTop = 34, kEffBottom = 372;

// Table values are per mille; the chart's axis is the fraction the curve has.
double fraction(float perMille) {
  return static_cast<double>(perMille) * 0.001;
}

bool plottable(const plot::Axis& axis, double value) {
  return std::isfinite(value) && axis.contains(value);
}

const char* rangeName(EfficiencyRange peak, EfficiencyRange total) {
  if (peak == EfficiencyRange::straightLine) return "straight lines";
  if (peak == EfficiencyRange::logLog) return "peak: log-log quadratic · total: quadratic";
  if (total == EfficiencyRange::quadratic) return "quadratic";
  return "";
}

void axes(Svg& svg, const EfficiencyFrame& f) {
  for (const plot::Tick& t : f.energy.ticks()) {
    const double x = f.energy(t.value);
    svg.line(x, kEffTop, x, kEffBottom, t.major ? "grid major" : "grid");
    if (t.major) svg.text(x, kEffBottom + 16, t.label, "tick", Svg::Anchor::middle);
  }
  for (const plot::Tick& t : f.efficiency.ticks()) {
    const double y = f.efficiency(t.value);
    svg.line(kEffLeft, y, kEffRight, y, t.major ? "grid major" : "grid");
    if (t.major) svg.text(kEffLeft - 6, y + 4, t.label, "tick", Svg::Anchor::end);
  }
  svg.rect(kEffLeft, kEffTop, kEffRight - kEffLeft, kEffBottom - kEffTop, "frame");
  svg.text((kEffLeft + kEffRight) / 2, kEffHeight - 12, "energy (keV)", "axis-title",
           Svg::Anchor::middle);
  svg.text(16, (kEffTop + kEffBottom) / 2, "efficiency (fraction of 1)", "axis-title",
           Svg::Anchor::middle, -90);
}

// The interpolation ranges as shaded bands, where the samples change range,
// and the regions outside the table.
void ranges(Svg& svg, const DetectorResult& d, const EfficiencyFrame& f) {
  const std::vector<CurveSample>& c = d.efficiencyCurve;
  std::size_t start = 0;
  int band = 0;
  for (std::size_t k = 1; k <= c.size(); ++k) {
    if (k < c.size() && c[k].peakRange == c[start].peakRange &&
        c[k].totalRange == c[start].totalRange)
      continue;
    const double x0 = f.energy(c[start].energy);
    const double x1 = f.energy(c[k < c.size() ? k : k - 1].energy);
    static constexpr const char* shades[] = {"band-a", "band-b"};
    svg.rect(x0, kEffTop, x1 - x0, kEffBottom - kEffTop, shades[band++ % 2]);
    if (start > 0) svg.line(x0, kEffTop, x0, kEffBottom, "boundary");
    const std::string name = rangeName(c[start].peakRange, c[start].totalRange);
    if (!name.empty() && x1 - x0 > 40)
      svg.text((x0 + x1) / 2, kEffTop - 8, name, "band-label", Svg::Anchor::middle);
    if (start > 0) {
      // The boundary lies between two samples; name the rounder of them.
      const std::string below = asRead(c[start - 1].energy), at = asRead(c[start].energy);
      svg.text(x0 + 3, kEffBottom - 6,
               (below.size() < at.size() ? "> " + below : "≥ " + at) + " keV", "boundary-label");
    }
    start = k;
  }
  const double first = f.energy(d.table.front().energy);
  const double last = f.energy(d.table.back().energy);
  svg.rect(kEffLeft, kEffTop, first - kEffLeft, kEffBottom - kEffTop, "extrapolated");
  svg.rect(last, kEffTop, kEffRight - last, kEffBottom - kEffTop, "extrapolated");
  svg.text(kEffRight - 4, kEffTop + 14, "beyond the table", "extra-label", Svg::Anchor::end);
  if (first - kEffLeft > 60) svg.text(kEffLeft + 4, kEffTop + 14, "below the table", "extra-label");
}

// One curve, broken where the range or the extrapolation changes and where
// a value leaves the chart.
void curve(Svg& svg, const DetectorResult& d, const EfficiencyFrame& f, bool peak) {
  Points points;
  std::string cls;
  auto flush = [&] {
    svg.polyline(points, cls);
    points.clear();
  };
  const CurveSample* previous = nullptr;
  for (const CurveSample& c : d.efficiencyCurve) {
    const float value = peak ? c.peak : c.total;
    const EfficiencyRange range = peak ? c.peakRange : c.totalRange;
    if (previous && (range != (peak ? previous->peakRange : previous->totalRange) ||
                     c.extrapolated != previous->extrapolated))
      flush();
    previous = &c;
    if (!plottable(f.efficiency, value)) {
      flush();
      continue;
    }
    cls = std::string(peak ? "curve peak" : "curve total") + (c.extrapolated ? " extra" : "");
    points.emplace_back(f.energy(c.energy), f.efficiency(value));
  }
  flush();
}

void legend(Svg& svg) {
  const double x = kEffRight - 190, y = kEffTop + 28;
  svg.rect(x - 8, y - 14, 190, 74, "legend-box");
  svg.line(x, y, x + 26, y, "curve total");
  svg.text(x + 32, y + 4, "total efficiency", "legend-text");
  svg.line(x, y + 18, x + 26, y + 18, "curve peak");
  svg.text(x + 32, y + 22, "full-energy-peak efficiency", "legend-text");
  svg.line(x, y + 36, x + 26, y + 36, "curve total extra");
  svg.text(x + 32, y + 40, "extrapolated", "legend-text");
  svg.circle(x + 13, y + 53, 3, "point total");
  svg.text(x + 32, y + 57, "table points", "legend-text");
}

// Marks at an energy the data set used: a tick on the energy axis and a
// cross at each of its two efficiencies, as one path.
void mark(std::string& d, const EfficiencyFrame& f, float energy, float total, float peak) {
  const double x = f.energy(energy);
  d += 'M';
  plot::appendPixels(d, x);
  d += ',';
  plot::appendPixels(d, kEffBottom);
  d += "v-10";
  for (float value : {total, peak}) {
    if (!plottable(f.efficiency, value)) continue;
    const double y = f.efficiency(value);
    d += 'M';
    plot::appendPixels(d, x - 4);
    d += ',';
    plot::appendPixels(d, y - 4);
    d += "l8,8m0,-8l-8,8";
  }
}

// Correction classes of the decay scheme by |factor - 1|.
struct CorrectionClass {
  const char* cls;
  const char* label;
  double below;  // |factor - 1| below this
};
constexpr std::array<CorrectionClass, 6> kClasses = {{{"c0", "under 2 %", 0.02},
                                                      {"c1", "2 % to 10 %", 0.10},
                                                      {"c2", "10 % to 30 %", 0.30},
                                                      {"c3", "30 % to 60 %", 0.60},
                                                      {"c4", "60 % to 100 %", 1.00},
                                                      {"c5", "100 % and more", INFINITY}}};

const char* correctionClass(const GammaLine* g) {
  if (!g) return "cn";
  if (!std::isfinite(g->KORR)) return "cx";
  const double size = std::abs(static_cast<double>(g->KORR) - 1.0);
  for (const CorrectionClass& c : kClasses)
    if (size < c.below) return c.cls;
  return "c5";
}

}  // namespace

std::optional<EfficiencyFrame> efficiencyFrame(const DetectorResult& d) {
  const std::vector<CurveSample>& c = d.efficiencyCurve;
  if (c.empty() || d.table.empty()) return std::nullopt;
  double lo = INFINITY, hi = 0.0;
  auto include = [&](double v) {
    if (std::isfinite(v) && v > 0.0) {
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  };
  for (const CurveSample& s : c) {
    if (s.extrapolated) continue;
    include(s.total);
    include(s.peak);
  }
  for (const EfficiencyPoint& p : d.table) {
    include(fraction(p.total));
    include(fraction(p.peak));
  }
  if (!(hi > 0.0)) return std::nullopt;
  const auto [elo, ehi] = plot::decadesAround(c.front().energy, c.back().energy);
  const auto [ylo, yhi] = plot::decadesAround(lo, hi);
  return EfficiencyFrame{plot::Axis::logarithmic(elo, ehi, kEffLeft, kEffRight),
                         plot::Axis::logarithmic(ylo, yhi, kEffBottom, kEffTop)};
}

void efficiencyChart(std::string& out, const DetectorResult& d, const EfficiencyFrame& f) {
  Svg svg(out);
  svg.begin(kEffWidth, kEffHeight, "Efficiency curves of the detector", {{"class", "chart"}});
  svg.open("g", {{"id", "eff-base"}});
  ranges(svg, d, f);
  axes(svg, f);
  curve(svg, d, f, false);
  curve(svg, d, f, true);
  for (const EfficiencyPoint& p : d.table) {
    if (!plottable(f.energy, p.energy)) continue;
    const double x = f.energy(p.energy);
    if (plottable(f.efficiency, fraction(p.total)))
      svg.circle(x, f.efficiency(fraction(p.total)), 3, "point total");
    if (plottable(f.efficiency, fraction(p.peak)))
      svg.circle(x, f.efficiency(fraction(p.peak)), 3, "point peak");
  }
  legend(svg);
  svg.close("g");
  svg.end();
}

void dataSetEfficiencyChart(std::string& out, const EfficiencyFrame& f, const DataSetResult& ds) {
  Svg svg(out);
  svg.begin(kEffWidth, kEffHeight,
            "Efficiency curves with the energies of " + utf8FromCodePage437(trimmedName(ds.DSNAME)),
            {{"class", "chart"}});
  svg.element("use", {{"href", "#eff-base"}});
  int outside = 0;
  std::string d;
  for (const TransitionResult& t : ds.transitions) {
    if (!plottable(f.energy, t.energy)) {
      ++outside;
      continue;
    }
    mark(d, f, t.energy, t.EPSTG, t.EPSG);
  }
  svg.path(d, "mark gamma");
  if (plottable(f.energy, ds.EX)) {
    d.clear();
    mark(d, f, ds.EX, ds.EPSTX, ds.EPSX);
    svg.path(d, "mark xray");
    svg.text(f.energy(ds.EX), kEffBottom - 14, "E(X)", "mark-label", Svg::Anchor::middle);
  } else if (ds.EX != 0.0f) {
    ++outside;
  }
  if (outside > 0)
    svg.text(kEffLeft + 4, kEffBottom + 30,
             std::to_string(outside) + " energies lie outside the drawn range", "note");
  svg.end();
}

void decayScheme(std::string& out, const DataSetResult& ds) {
  if (ds.levels.empty()) return;
  // Rows: levels in order of energy (the file's order among equal energies).
  std::vector<const LevelResult*> byEnergy;
  for (const LevelResult& l : ds.levels)
    byEnergy.push_back(&l);
  std::stable_sort(
      byEnergy.begin(), byEnergy.end(),
      [](const LevelResult* a, const LevelResult* b) { return a->energy < b->energy; });
  constexpr int32_t kMax = 64;  // level numbers of the model are below this
  std::array<int, kMax> row{};
  row.fill(-1);
  for (std::size_t r = 0; r < byEnergy.size(); ++r)
    if (byEnergy[r]->number > 0 && byEnergy[r]->number < kMax)
      row[static_cast<std::size_t>(byEnergy[r]->number)] = static_cast<int>(r);

  std::vector<const TransitionResult*> columns;
  std::array<std::array<bool, kMax>, kMax> present{};
  for (const TransitionResult& t : ds.transitions) {
    if (t.upper <= 0 || t.upper >= kMax || t.lower <= 0 || t.lower >= kMax) continue;
    if (row[static_cast<std::size_t>(t.upper)] < 0 || row[static_cast<std::size_t>(t.lower)] < 0)
      continue;
    columns.push_back(&t);
    present[static_cast<std::size_t>(t.upper)][static_cast<std::size_t>(t.lower)] = true;
  }
  auto rowOf = [&row](int32_t level) { return row[static_cast<std::size_t>(level)]; };
  // Highest upper level first, then the longest arrow.
  std::stable_sort(columns.begin(), columns.end(), [&](const auto* a, const auto* b) {
    if (rowOf(a->upper) != rowOf(b->upper)) return rowOf(a->upper) > rowOf(b->upper);
    return rowOf(a->lower) < rowOf(b->lower);
  });

  constexpr double kBand = 132, kRow = 24, kColumn = 15, kGroupGap = 8;
  constexpr double kEnergyRight = 84, kLeft = 160, kRightLabels = 40, kBottom = 20;
  std::vector<double> xs;
  double x = kLeft + 12;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (k > 0 && columns[k]->upper != columns[k - 1]->upper) x += kGroupGap;
    xs.push_back(x);
    x += kColumn;
  }
  const double right = std::max(x + 4, kLeft + 160);
  const double width = right + kRightLabels;
  const auto rows = static_cast<double>(byEnergy.size());
  const double height = kBand + rows * kRow + kBottom;
  auto yOfRow = [&](int r) { return kBand + 10 + (rows - 1 - r) * kRow; };

  Svg svg(out);
  svg.begin(width, height, "Decay scheme of " + utf8FromCodePage437(trimmedName(ds.DSNAME)),
            {{"class", "scheme"}});
  for (std::size_t r = 0; r < byEnergy.size(); ++r) {
    const LevelResult& l = *byEnergy[r];
    const double y = yOfRow(static_cast<int>(r));
    svg.line(kLeft, y, right, y, "level");
    svg.text(kEnergyRight, y + 4, asRead(l.energy), "level-energy", Svg::Anchor::end);
    if (l.feeding != 0.0f)
      svg.text(kLeft - 6, y + 4, asRead(l.feeding), "level-label fed", Svg::Anchor::end);
    svg.text(right + 6, y + 4, "#" + std::to_string(l.number), "level-label");
  }
  svg.text(kEnergyRight, kBand - 4, "keV", "level-label", Svg::Anchor::end);
  svg.text(kLeft - 6, kBand - 4, "fed %", "level-label", Svg::Anchor::end);

  std::array<std::array<const GammaLine*, kMax>, kMax> lineOf{};
  for (const GammaLine& g : ds.gammas)
    if (g.upper > 0 && g.upper < kMax && g.lower > 0 && g.lower < kMax)
      lineOf[static_cast<std::size_t>(g.upper)][static_cast<std::size_t>(g.lower)] = &g;
  std::string tip, label;  // reused from arrow to arrow
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const TransitionResult& t = *columns[k];
    const GammaLine* g =
        lineOf[static_cast<std::size_t>(t.upper)][static_cast<std::size_t>(t.lower)];
    bool crossover = false;
    for (int32_t m = 1; m < kMax && !crossover; ++m)
      crossover = present[static_cast<std::size_t>(t.upper)][static_cast<std::size_t>(m)] &&
                  present[static_cast<std::size_t>(m)][static_cast<std::size_t>(t.lower)];
    const double cx = xs[k];
    const double y0 = yOfRow(rowOf(t.upper)), y1 = yOfRow(rowOf(t.lower));
    const std::string cls =
        std::string("arrow ") + correctionClass(g) + (crossover ? " cross" : "");
    svg.open("g", {{"class", cls}});
    const std::string energy = asRead(t.energy), intensity = asRead(t.intensity);
    tip = std::to_string(t.upper);
    tip += " → ";
    tip += std::to_string(t.lower);
    tip += ": ";
    tip += energy;
    tip += " keV, ";
    tip += intensity;
    tip += " %";
    if (g) {
      tip += ", factor ";
      appendSignificant(tip, g->KORR);
    } else {
      tip += ", no peak count";
    }
    if (crossover) tip += ", crossover";
    svg.open("title");
    plot::appendEscapedXml(out, tip);
    svg.close("title");
    svg.line(cx, kBand, cx, std::min(y0, y1), "guide");
    const double head = y1 > y0 ? -6 : 6;
    svg.line(cx, y0, cx, y1 + head, "shaft");
    svg.polygon({{cx - 3.5, y1 + head}, {cx + 3.5, y1 + head}, {cx, y1}}, "head");
    label = energy;
    label += "  ";
    label += intensity;
    label += '%';
    svg.text(cx + 4, kBand - 4, label, "arrow-label", Svg::Anchor::start, -90);
    svg.close("g");
  }
  svg.end();
}

void correctionLegend(std::string& out) {
  out += "<ul class=\"legend\"><li class=\"legend-title\">|factor − 1|:</li>";
  for (const CorrectionClass& c : kClasses) {
    out += "<li><span class=\"swatch ";
    out += c.cls;
    out += "\"></span>";
    out += c.label;
    out += "</li>";
  }
  out +=
      "<li><span class=\"swatch cx\"></span>not a number</li>"
      "<li><span class=\"swatch cn\"></span>no peak count</li>"
      "<li><span class=\"swatch dashed\"></span>crossover (a cascade through a level "
      "between can sum into it)</li></ul>\n";
}

}  // namespace tcsum::html
