#include "html/geometry.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "plot/plot.hpp"

namespace tcsum::html {

namespace {

// The drawing's largest extent in pixels, and its margins.
constexpr double kDrawingWidth = 420.0;
constexpr double kDrawingHeight = 520.0;
constexpr double kMargin = 24.0;
constexpr double kKeyHeight = 64.0;
constexpr double kScaleBar = 1.0;  // cm

constexpr const char* kDrawingStyle =
    ".ge-active{fill:#3f7fb5}.ge-dead{fill:#a9c3d8}.absorber{fill:#8d949b}.container{fill:#c8b48f}"
    ".matrix{fill:#f0b65a;fill-opacity:.75}.activity{fill:#c0392b}.axis{stroke:#5b6570;stroke-dasharray:4 3}"
    ".bar{stroke:#1d232a;stroke-width:2}.label{font:12px sans-serif;fill:#1d232a}"
    ".grid{stroke:#d5dae0}.frame{fill:none;stroke:#5b6570}.total{fill:none;stroke:#3f7fb5;stroke-width:2}"
    ".peak{fill:none;stroke:#c0392b;stroke-width:2}";

// What a region is, by its flags and name: the class it is drawn with.
const char* partOf(const geometry::Region& r) {
  if (r.active) return "ge-active";
  if (r.crystal) return "ge-dead";
  if (r.name == "source matrix") return "matrix";
  if (r.name.starts_with("container") || r.name.starts_with("well")) return "container";
  return "absorber";
}

std::string number(double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 4);
  return std::string(buffer, end);
}

std::string escape(std::string_view text) { return plot::escapeXml(text); }

}  // namespace

std::string crossSection(const geometry::Geometry& g) {
  double rMax = 0.0, zMin = 0.0, zMax = 0.0;
  for (const geometry::Region& r : g.world.regions)
    rMax = std::max(rMax, r.rOut), zMin = std::min(zMin, r.zLo), zMax = std::max(zMax, r.zHi);
  for (const geometry::SourcePiece& p : g.source)
    rMax = std::max(rMax, p.rOut), zMin = std::min(zMin, p.zLo);
  if (!(rMax > 0.0) || !(zMax > zMin)) return {};
  const double scale = std::min(kDrawingWidth / (2.0 * rMax), kDrawingHeight / (zMax - zMin));
  const double width = 2.0 * rMax * scale + 2.0 * kMargin;
  const double height = (zMax - zMin) * scale + 2.0 * kMargin + kKeyHeight;
  auto x = [&](double r) { return kMargin + (r + rMax) * scale; };
  auto y = [&](double z) { return kMargin + (z - zMin) * scale; };

  std::string out;
  plot::Svg svg(out);
  svg.begin(width, height, "Cross-section of detector and source through the detector's axis, to scale",
            {{"class", "geometry"}});
  out += "<style>";
  out += kDrawingStyle;
  out += "</style>";
  for (const geometry::Region& r : g.world.regions) {
    const char* part = partOf(r);
    svg.open("g", {{"class", part}});
    out += "<title>";
    plot::appendEscapedXml(out, r.name + ": " + g.world.materials[static_cast<std::size_t>(r.material)].name);
    out += "</title>";
    // The ring cut through the axis: one rectangle on each side of it, or
    // one across it for a ring without a hole.
    if (r.rIn > 0.0) {
      svg.rect(x(-r.rOut), y(r.zLo), (r.rOut - r.rIn) * scale, (r.zHi - r.zLo) * scale, part);
      svg.rect(x(r.rIn), y(r.zLo), (r.rOut - r.rIn) * scale, (r.zHi - r.zLo) * scale, part);
    } else {
      svg.rect(x(-r.rOut), y(r.zLo), 2.0 * r.rOut * scale, (r.zHi - r.zLo) * scale, part);
    }
    svg.close("g");
  }
  // Activity without a volume of its own: a point, or a disk (a line).
  for (const geometry::SourcePiece& p : g.source) {
    if (p.zHi > p.zLo) continue;
    if (p.rOut > p.rIn) {
      svg.rect(x(-p.rOut), y(p.zLo) - 1.5, 2.0 * p.rOut * scale, 3.0, "activity");
    } else {
      svg.circle(x(p.rIn), y(p.zLo), 4.0, "activity");
    }
  }
  svg.line(x(0.0), kMargin / 2.0, x(0.0), y(zMax) + kMargin / 2.0, "axis");
  // The scale bar and the key.
  const double keyTop = y(zMax) + kMargin;
  svg.line(kMargin, keyTop, kMargin + kScaleBar * scale, keyTop, "bar");
  svg.text(kMargin + kScaleBar * scale + 6.0, keyTop + 4.0, "10 mm", "label");
  const std::pair<const char*, const char*> key[] = {{"ge-active", "active germanium"},
                                                     {"ge-dead", "dead germanium"},
                                                     {"absorber", "end cap, holder"},
                                                     {"container", "container"},
                                                     {"matrix", "source matrix"}};
  double kx = kMargin, ky = keyTop + 18.0;
  for (const auto& [cls, text] : key) {
    if (kx + 130.0 > width) kx = kMargin, ky += 18.0;
    svg.rect(kx, ky - 10.0, 12.0, 12.0, cls);
    svg.text(kx + 16.0, ky, text, "label");
    kx += 130.0;
  }
  svg.end();
  return out;
}

std::string efficiencyCurves(std::span<const CurvePoint> curve) {
  std::vector<CurvePoint> points;
  for (const CurvePoint& p : curve)
    if (p.energy > 0.0 && p.total > 0.0 && p.peak > 0.0) points.push_back(p);
  if (points.size() < 2) return {};
  double eLo = points.front().energy, eHi = eLo, yLo = points.front().peak, yHi = points.front().total;
  for (const CurvePoint& p : points) {
    eLo = std::min(eLo, p.energy), eHi = std::max(eHi, p.energy);
    yLo = std::min(yLo, p.peak), yHi = std::max(yHi, p.total);
  }
  const auto [e0, e1] = plot::decadesAround(eLo, eHi);
  const auto [y0, y1] = plot::decadesAround(yLo, yHi);
  const double width = 560.0, height = 340.0, left = 64.0, right = 16.0, top = 16.0, bottom = 44.0;
  const plot::Axis energy = plot::Axis::logarithmic(e0, e1, left, width - right);
  const plot::Axis efficiency = plot::Axis::logarithmic(y0, y1, height - bottom, top);

  std::string out;
  plot::Svg svg(out);
  svg.begin(width, height, "Total and full-energy-peak efficiency of the sample against energy",
            {{"class", "curves"}});
  out += "<style>";
  out += kDrawingStyle;
  out += "</style>";
  for (const plot::Tick& t : energy.ticks()) {
    svg.line(energy(t.value), top, energy(t.value), height - bottom, "grid");
    if (t.major) svg.text(energy(t.value), height - bottom + 16.0, t.label, "label", plot::Svg::Anchor::middle);
  }
  for (const plot::Tick& t : efficiency.ticks()) {
    svg.line(left, efficiency(t.value), width - right, efficiency(t.value), "grid");
    if (t.major) svg.text(left - 6.0, efficiency(t.value) + 4.0, t.label, "label", plot::Svg::Anchor::end);
  }
  svg.rect(left, top, width - right - left, height - bottom - top, "frame");
  std::vector<std::pair<double, double>> total, peak;
  for (const CurvePoint& p : points) {
    total.emplace_back(energy(p.energy), efficiency(p.total));
    peak.emplace_back(energy(p.energy), efficiency(p.peak));
  }
  svg.polyline(total, "total");
  svg.polyline(peak, "peak");
  svg.text((left + width - right) / 2.0, height - 8.0, "energy / keV", "label", plot::Svg::Anchor::middle);
  svg.text(16.0, (top + height - bottom) / 2.0, "efficiency", "label", plot::Svg::Anchor::middle, -90.0);
  svg.line(width - right - 150.0, top + 14.0, width - right - 126.0, top + 14.0, "total");
  svg.text(width - right - 120.0, top + 18.0, "total", "label");
  svg.line(width - right - 150.0, top + 32.0, width - right - 126.0, top + 32.0, "peak");
  svg.text(width - right - 120.0, top + 36.0, "full-energy peak", "label");
  svg.end();
  return out;
}

std::string geometrySection(const geometry::Geometry& g, std::span<const CurvePoint> curve,
                            const std::vector<std::string>& notes) {
  std::string out = "<section>\n<h2>Geometry</h2>\n<p>" + escape(g.sourceSummary) + " on the " +
                    escape(g.detectorSummary) + " detector; lengths to scale.</p>\n";
  out += "<div style=\"display: flex; flex-wrap: wrap; gap: 18px; align-items: flex-start\">\n" + crossSection(g) + "\n" + efficiencyCurves(curve) + "\n</div>\n";
  for (const std::string& n : notes) out += "<p class=\"note\">" + escape(n) + "</p>\n";
  out += "</section>\n";
  return out;
}

std::string efficiencyPage(const geometry::Geometry& g, std::span<const CurvePoint> curve,
                           const std::vector<std::pair<std::string, std::string>>& items,
                           const std::vector<std::string>& notes) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
      "'unsafe-inline'\">\n<title>tcsum efficiency: " +
      escape(g.sourceSummary) +
      "</title>\n<style>\n"
      "body { margin: 0; font: 15px/1.45 system-ui, \"DejaVu Sans\", sans-serif; color: #1d232a; background: #f4f6f8; }\n"
      "main { max-width: 1100px; margin: 0 auto; padding: 20px; }\n"
      "section { background: #fff; border: 1px solid #d5dae0; border-radius: 6px; padding: 14px 18px; margin: 0 0 18px; }\n"
      "h1 { font-size: 22px; margin: 0 0 6px; } h2 { font-size: 19px; margin: 0 0 8px; }\n"
      "dl { display: grid; grid-template-columns: max-content 1fr; gap: 2px 14px; margin: 0; }\n"
      "dt { color: #5b6570; } dd { margin: 0; overflow-wrap: anywhere; }\n"
      "table { border-collapse: collapse; } th, td { padding: 3px 10px; border-bottom: 1px solid #d5dae0; text-align: right; }\n"
      "th { background: #eef1f4; } .note { color: #5b6570; }\n"
      "</style>\n</head>\n<body>\n<main>\n<section>\n<h1>Efficiencies from the model of detector and sample</h1>\n<dl>\n";
  for (const auto& [term, value] : items) out += "<dt>" + escape(term) + "</dt><dd>" + escape(value) + "</dd>\n";
  out += "</dl>\n</section>\n";
  out += geometrySection(g, curve, notes);
  out += "<section>\n<h2>Table</h2>\n<table>\n<tr><th>energy / keV</th><th>total</th><th>peak</th></tr>\n";
  for (const CurvePoint& p : curve)
    out += "<tr><td>" + number(p.energy) + "</td><td>" + number(p.total) + "</td><td>" + number(p.peak) + "</td></tr>\n";
  out += "</table>\n</section>\n</main>\n</body>\n</html>\n";
  return out;
}

}  // namespace tcsum::html
