#include "html/page.hpp"

#include "outputs/text.hpp"
#include "plot/plot.hpp"

namespace tcsum::html {

namespace {

using plot::escapeXml;

constexpr const char* kStyle = R"(
:root { color-scheme: light; --ink: #1d232a; --muted: #5b6570; --rule: #d5dae0; }
* { box-sizing: border-box; }
body { margin: 0; font: 15px/1.45 system-ui, "DejaVu Sans", sans-serif; color: var(--ink); background: #f4f6f8; }
main { display: flex; flex-direction: column; gap: 18px; max-width: 1280px; margin: 0 auto; padding: 20px; }
header.run { order: -2; }
.status { order: -1; }
section { background: #fff; border: 1px solid var(--rule); border-radius: 6px; padding: 14px 18px; }
h1 { font-size: 22px; margin: 0 0 6px; }
h2 { font-size: 19px; margin: 0 0 8px; }
h3 { font-size: 15px; margin: 16px 0 6px; color: var(--muted); text-transform: uppercase; letter-spacing: .04em; }
dl.meta { display: grid; grid-template-columns: max-content 1fr; gap: 2px 14px; margin: 0; }
dl.meta dt { color: var(--muted); }
dl.meta dd { margin: 0; overflow-wrap: anywhere; }
.mono { font-family: "DejaVu Sans Mono", monospace; font-size: 13px; }
.box { border-left: 5px solid; padding: 8px 12px; margin: 10px 0; border-radius: 3px; }
.box p { margin: 2px 0; }
.box.warn { border-color: #d08b00; background: #fff6e0; }
.box.stop { border-color: #c62828; background: #fdecec; }
.box.ok { border-color: #2e7d32; background: #eaf6ea; }
.status .box { margin: 0; }
table.results { border-collapse: collapse; min-width: 60%; }
table.results th, table.results td { padding: 3px 10px; border-bottom: 1px solid var(--rule); text-align: right; }
table.results th { background: #eef1f4; font-weight: 600; }
table.results td:first-child, table.results th:first-child { text-align: left; }
table.results tr.part td { color: var(--muted); font-size: 13px; }
.figure { overflow-x: auto; }
svg { display: block; background: #fff; font: 11px system-ui, "DejaVu Sans", sans-serif; }
.grid { stroke: #edf0f2; stroke-width: 1; }
.grid.major { stroke: #d3d8dd; }
.frame { fill: none; stroke: #8a949e; }
.tick { fill: var(--muted); }
.axis-title { font-size: 12px; }
.band-a { fill: #eef5fb; }
.band-b { fill: #fbf8ee; }
.boundary { stroke: #7d8b99; stroke-dasharray: 4 3; }
.boundary-label, .band-label, .extra-label { fill: var(--muted); font-size: 11px; }
.extrapolated { fill: #9aa3ad; fill-opacity: .18; }
.curve { fill: none; stroke-width: 2; }
.curve.total { stroke: #1f5fa8; }
.curve.peak { stroke: #d2541b; }
.curve.extra { stroke-dasharray: 5 4; stroke-width: 1.5; }
.point { stroke: #fff; stroke-width: 1; }
.point.total { fill: #1f5fa8; }
.point.peak { fill: #d2541b; }
.legend-box { fill: #fff; fill-opacity: .9; stroke: var(--rule); }
.mark { fill: none; stroke-width: 1.5; }
.mark.gamma { stroke: #333; }
.mark.xray { stroke: #7b1fa2; stroke-width: 2; }
.mark-label { fill: #7b1fa2; font-weight: 600; }
.note { fill: var(--muted); font-style: italic; }
.level { stroke: #2a3138; stroke-width: 1.5; }
.level-energy { font-family: "DejaVu Sans Mono", monospace; font-size: 11px; }
.level-label { fill: var(--muted); }
.level-label.fed { fill: var(--ink); font-weight: 600; }
.arrow .guide { stroke: #c2c8ce; stroke-dasharray: 1 3; }
.arrow .shaft { stroke-width: 2; }
.arrow.cross .shaft { stroke-dasharray: 5 3; }
.arrow-label { font-size: 10px; }
.arrow:hover .shaft { stroke-width: 4; }
.c0 .shaft, .c0 .head { stroke: #3b4cc0; fill: #3b4cc0; }
.c1 .shaft, .c1 .head { stroke: #1a9641; fill: #1a9641; }
.c2 .shaft, .c2 .head { stroke: #b8a000; fill: #b8a000; }
.c3 .shaft, .c3 .head { stroke: #f08a24; fill: #f08a24; }
.c4 .shaft, .c4 .head { stroke: #d7301f; fill: #d7301f; }
.c5 .shaft, .c5 .head { stroke: #7f0000; fill: #7f0000; }
.cx .shaft, .cx .head { stroke: #000; fill: #000; }
.cn .shaft, .cn .head { stroke: #a9b0b7; fill: #a9b0b7; }
ul.legend { list-style: none; display: flex; flex-wrap: wrap; gap: 4px 16px; padding: 0; margin: 6px 0 0; font-size: 13px; }
.legend-title { color: var(--muted); }
.swatch { display: inline-block; width: 22px; height: 4px; margin-right: 6px; vertical-align: middle; }
.swatch.c0 { background: #3b4cc0; } .swatch.c1 { background: #1a9641; } .swatch.c2 { background: #b8a000; }
.swatch.c3 { background: #f08a24; } .swatch.c4 { background: #d7301f; } .swatch.c5 { background: #7f0000; }
.swatch.cx { background: #000; } .swatch.cn { background: #a9b0b7; }
.swatch.dashed { height: 0; border-top: 3px dashed var(--ink); }
footer { color: var(--muted); font-size: 13px; }
)";

std::string text(std::string_view dataFileText) {
  return escapeXml(utf8FromCodePage437(dataFileText));
}

void entry(std::string& out, std::string_view term, std::string_view escapedValue) {
  out += "<dt>";
  out += term;
  out += "</dt><dd>";
  out += escapedValue;
  out += "</dd>";
}

const char* stageReached(Stage stage) {
  switch (stage) {
    case Stage::header:
      return "after its header";
    case Stage::levels:
      return "after its levels";
    case Stage::transitions:
      return "in its transitions";
    case Stage::complete:
      return "after it was complete";
  }
  return "";
}

void resultRow(std::string& out, const std::string& line, float energy, float rate0, float rate,
               float factor, const std::optional<FactorUncertainty>& u, bool uncertaintyColumn,
               bool part) {
  out += part ? "<tr class=\"part\"><td>" : "<tr><td>";
  out += line;
  out += "</td><td>";
  out += asRead(energy);
  for (float value : {rate0, rate, factor}) {
    out += "</td><td>";
    appendSignificant(out, value);
  }
  if (uncertaintyColumn) {
    out += "</td><td>";
    if (u) {
      appendSignificant(out, factor);
      out += " ± ";
      appendSignificant(out, u->standard);
      out += " [";
      appendSignificant(out, u->low95);
      out += ", ";
      appendSignificant(out, u->high95);
      out += ']';
    }
  }
  out += "</td></tr>\n";
}

// The warnings of the run about one part of the data file, in a box.
void warningsBox(std::string& out, const std::vector<Warning>& warnings) {
  if (warnings.empty()) return;
  out +=
      "<div class=\"box warn\"><p><strong>Warnings.</strong> The run went on, but check "
      "these records of the data file:</p>\n";
  for (const Warning& w : warnings) {
    out += "<p>Record " + std::to_string(w.record) + ": " + escapeXml(utf8FromCodePage437(w.text)) +
           "</p>\n";
  }
  out += "</div>\n";
}

void results(std::string& out, const DataSetResult& ds) {
  out += "<h3>Results</h3>\n";
  if (ds.gammas.empty() && !ds.xray) {
    out += "<p>No line of this data set has a peak count.</p>\n";
    return;
  }
  out +=
      "<table class=\"results\"><thead><tr><th>Line</th><th>Energy (keV)</th>"
      "<th>Count without coincidences<br/>(per 100 decays)</th>"
      "<th>Count with coincidences<br/>(per 100 decays)</th><th>Correction factor</th>";
  const bool u = ds.uncertainty.has_value();
  if (u) out += "<th>Factor ± standard uncertainty<br/>[shortest 95 % interval]</th>";
  out += "</tr></thead><tbody>\n";
  for (const GammaLine& g : ds.gammas)
    resultRow(out, "γ " + std::to_string(g.upper) + " → " + std::to_string(g.lower), g.energy,
              g.RATE0, g.RATE, g.KORR, g.uncertainty, u, false);
  if (ds.xray) {
    const XrayLine& x = *ds.xray;
    resultRow(out, "K x-rays", x.energy, x.RATE0, x.RATE, x.KORR, x.uncertainty, u, false);
    for (const XrayContribution& c : x.contributions) {
      const std::string from =
          c.source == XrayContribution::Source::conversion
              ? "· K conversion " + std::to_string(c.upper) + " → " + std::to_string(c.lower)
              : "· K capture into level " + std::to_string(c.upper);
      resultRow(out, from, x.energy, c.RATE0, c.RATE, c.KORR, std::nullopt, u, true);
    }
  }
  out += "</tbody></table>\n";
  out +=
      "<p class=\"mono\">Multiply a measured peak area by its correction factor to remove "
      "the summing: above 1 the peak lost counts, below 1 it gained counts.</p>\n";
}

void findings(std::string& out, const DataSetResult& ds) {
  warningsBox(out, ds.warnings);
  if (ds.balance.empty()) return;
  out +=
      "<div class=\"box warn\"><p><strong>Decay data inconsistent.</strong> "
      "Populated is feeding plus the total intensities in, depopulated the total intensities "
      "out (total = gamma × (1 + ALPHA)); these levels differ by 10 % or more:</p>\n";
  for (const BalanceFinding& f : ds.balance) {
    out += "<p>Level " + std::to_string(f.level) + " is populated with " + significant(f.PIN) +
           " % and depopulated with " + significant(f.POUT) + " %.</p>\n";
  }
  out += "</div>\n";
}

}  // namespace

HtmlPage::HtmlPage(OutputFile& file, const RunInfo& info) : file_(file), info_(info) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"/>"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>"
      "<title>Summing corrections: ";
  out += escapeXml(info.inputPath);
  out += "</title><style>";
  out += kStyle;
  out +=
      "</style></head>\n<body><main>\n<header class=\"run\"><section>"
      "<h1>True-coincidence summing corrections</h1><dl class=\"meta\">";
  entry(out, "Program", escapeXml(info.program + ' ' + info.version));
  entry(out, "Input file", escapeXml(info.inputPath));
  entry(
      out, "SHA-256",
      "<span class=\"mono\">" + escapeXml(info.inputSha256.value_or("(not readable)")) + "</span>");
  out += "</dl></section></header>\n";
  file_.write(out);
}

void HtmlPage::detector(const DetectorResult& d) {
  detectorName_ = "G " + std::to_string(10 * d.KDET1 + d.KDET) + " · " +
                  text({d.DETTXT.data(), d.DETTXT.size()});
  frame_ = efficiencyFrame(d);
  std::string out = "<section class=\"detector\" id=\"detector\"><h2>Detector ";
  out += detectorName_;
  out += "</h2>\n<p>The efficiencies as the program interpolates them from the " +
         std::to_string(d.table.size()) +
         "-point table of the data file: straight lines at low energies, a quadratic through "
         "the three nearest points above them, and for the full-energy peak a quadratic in "
         "log-log space at the highest energies. Dashed parts and grey regions lie outside "
         "the table (extrapolated).</p>\n";
  if (frame_) {
    out += "<div class=\"figure\">";
    efficiencyChart(out, d, *frame_);
    out += "</div>\n";
  } else {
    out +=
        "<div class=\"box warn\"><p>The efficiency table cannot be drawn (fewer than two "
        "points, energies not ascending, or no positive efficiency).</p></div>\n";
  }
  warningsBox(out, d.warnings);
  out += "</section>\n";
  file_.write(out);
}

void HtmlPage::format(const DataSetResult& ds, std::string& out) const {
  if (ds.reached == Stage::complete) section(ds, std::nullopt, out);
}

void HtmlPage::dataSet(const DataSetResult& ds, std::string_view formatted) {
  if (stopped_) {
    writeSection(*stopped_, std::nullopt);
    stopped_.reset();
  }
  if (ds.reached != Stage::complete) {
    stopped_ = ds;
  } else if (!formatted.empty()) {
    write(formatted);
  } else {
    writeSection(ds, std::nullopt);
  }
}

void HtmlPage::write(std::string_view section) {
  ++dataSets_;
  file_.write(section);
}

void HtmlPage::writeSection(const DataSetResult& ds, const std::optional<std::string>& diagnostic) {
  std::string out;
  section(ds, diagnostic, out);
  write(out);
}

void HtmlPage::section(const DataSetResult& ds, const std::optional<std::string>& diagnostic,
                       std::string& out) const {
  const bool complete = ds.reached == Stage::complete;
  const std::string name = text(trimmedName(ds.DSNAME));
  out += "<section class=\"dataset\" id=\"dataset-" + std::to_string(ds.number) + "\">";
  out += "<h2>" + std::to_string(ds.number) + ". " + name + (complete ? "" : " — stopped") +
         "</h2>\n<dl class=\"meta\">";
  entry(out, "Nuclide", name);
  entry(out, "Decay mode",
        text(trimmedName(ds.DECMODE)) + (ds.electronCapture ? " (electron capture)" : ""));
  entry(out, "Detector", detectorName_);
  entry(out, "E(X)", asRead(ds.EX) + " keV");
  entry(out, "OMEGAK", asRead(ds.OMEGAK));
  entry(out, "Efficiency at E(X)",
        "total " + significant(ds.EPSTX) + ", full-energy peak " + significant(ds.EPSX));
  entry(out, "Calculated",
        std::to_string(ds.IYEAR) + '-' + (ds.IMONTH < 10 ? "0" : "") + std::to_string(ds.IMONTH) +
            '-' + (ds.IDAY < 10 ? "0" : "") + std::to_string(ds.IDAY));
  entry(out, "Program", escapeXml(info_.program + ' ' + info_.version));
  entry(out, "Input file",
        escapeXml(info_.inputPath) + " <span class=\"mono\">SHA-256 " +
            escapeXml(info_.inputSha256.value_or("(not readable)")) + "</span>");
  out += "</dl>\n";
  if (!complete) {
    out += "<div class=\"box stop\"><p><strong>This data set stopped the run ";
    out += stageReached(ds.reached);
    out += ".</strong></p>";
    if (diagnostic) out += "<p class=\"mono\">" + escapeXml(*diagnostic) + "</p>";
    out += "</div>\n";
  }
  findings(out, ds);
  if (frame_) {
    out +=
        "<h3>Efficiency at the energies of this data set</h3><p>Crosses: the total and "
        "full-energy-peak efficiencies the calculation used at each transition energy "
        "(ticks) and at E(X).</p><div class=\"figure\">";
    dataSetEfficiencyChart(out, *frame_, ds);
    out += "</div>\n";
  }
  if (!ds.levels.empty()) {
    out += "<h3>Decay scheme</h3><div class=\"figure\" id=\"scheme-" + std::to_string(ds.number) +
           "\">";
    decayScheme(out, ds);
    out += "</div>\n";
    correctionLegend(out);
  }
  if (complete) results(out, ds);
  out += "</section>\n";
}

void HtmlPage::end(const std::optional<std::string>& diagnostic,
                   const std::vector<Warning>& after) {
  if (stopped_) {
    writeSection(*stopped_, diagnostic);
    stopped_.reset();
  }
  std::string out = "<section class=\"status\">";
  const std::string count =
      std::to_string(dataSets_) + (dataSets_ == 1 ? " data set" : " data sets");
  if (diagnostic) {
    out += "<div class=\"box stop\"><p><strong>The run stopped</strong> after " + count +
           ". Everything before the fault is shown below.</p><p class=\"mono\">" +
           escapeXml(*diagnostic) + "</p></div>";
  } else {
    out += "<div class=\"box ok\"><p><strong>The run ended normally</strong> with " + count +
           ".</p></div>";
  }
  warningsBox(out, after);
  out += "</section>\n<footer>Written by " + escapeXml(info_.program + ' ' + info_.version) +
         ".</footer>\n</main></body></html>\n";
  file_.write(out);
}

}  // namespace tcsum::html
