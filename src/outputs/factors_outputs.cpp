#include "outputs/factors_outputs.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "core/number_text.hpp"

namespace tcsum::complete {

const char* annihilationName(Annihilation a) {
  switch (a) {
    case Annihilation::backToBack: return "back-to-back";
    case Annihilation::independent: return "independent";
    case Annihilation::none: return "none";
  }
  return "";
}

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The shortest decimal that reads back to VALUE; NULL_TEXT when not finite.
void appendNumber(std::string& out, double value, const char* nullText = "null") {
  if (!std::isfinite(value)) {
    out += nullText;
    return;
  }
  text::appendShortest(out, value);
}

// VALUE with DECIMALS digits after the point, for the readable outputs.
std::string fixed(double value, int decimals) {
  if (!std::isfinite(value)) return "-";
  return text::fixed(value, decimals);
}

// Four significant digits at least, for rates that span many decades.
std::string general(double value) {
  if (!std::isfinite(value)) return "-";
  return text::significant(value, 4);
}

std::string padLeft(const std::string& s, std::size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
std::string padRight(const std::string& s, std::size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

// Control bytes and bytes outside ASCII of the input files shown as \xNN.
std::string printable(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7f) {
      static constexpr char hex[] = "0123456789abcdef";
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// The lines of SET in ascending energy (the model's order where equal).
std::vector<std::size_t> byEnergy(const DataSetFactors& set) {
  std::vector<std::size_t> order(set.result.lines.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return set.result.lines[a].energy < set.result.lines[b].energy;
  });
  return order;
}

template <typename T>
const std::optional<T>* entry(const std::vector<std::optional<T>>& v, std::size_t k) {
  return k < v.size() && v[k] ? &v[k] : nullptr;
}

std::string peakWindowText(const Settings& s) {
  return s.peakWindow ? "peak window +-" + fixed(*s.peakWindow, 3) + " keV"
                      : "peak window from the default resolution curve";
}

std::string lineName(const LineResult& line) {
  std::string name = lineKindName(line.kind);
  if (!line.label.empty()) name += " " + line.label;
  return name;
}

// ---- JSON ----------------------------------------------------------------

void appendString(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u >= 0x7f) {
      // Input text is ASCII; any other byte is kept as its Latin-1 character.
      static constexpr char hex[] = "0123456789abcdef";
      out += "\\u00";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  out += '"';
}

struct Json {
  std::string out;
  bool first = true;
  void key(std::string_view name) {
    if (!first) out += ',';
    first = false;
    appendString(out, name);
    out += ':';
  }
  void number(std::string_view name, double value) {
    key(name);
    appendNumber(out, value);
  }
  void optionalNumber(std::string_view name, const std::optional<double>& value) {
    key(name);
    if (value) appendNumber(out, *value); else out += "null";
  }
  void integer(std::string_view name, uint64_t value) {
    key(name);
    out += std::to_string(value);
  }
  void text(std::string_view name, std::string_view value) {
    key(name);
    appendString(out, value);
  }
  void boolean(std::string_view name, bool value) {
    key(name);
    out += value ? "true" : "false";
  }
  void open(std::string_view name, char bracket) {
    key(name);
    out += bracket;
    first = true;
  }
  void openElement() {
    if (!first) out += ',';
    out += '{';
    first = true;
  }
  void close(char bracket) {
    out += bracket;
    first = false;
  }
};

void efficiencyJson(Json& j, const EfficiencyPair& e) {
  j.open("efficiency", '{');
  j.number("total", e.total);
  j.number("peak", e.peak);
  j.close('}');
}

void dataSetJson(Json& j, const DataSetFactors& set) {
  const DecayScheme& s = set.scheme;
  j.openElement();
  j.text("name", s.name);
  j.text("parent", s.parent);
  j.text("dsid", s.dsid);
  j.text("decay_mode", s.decayMode);
  j.text("source", s.source);
  j.integer("record", static_cast<uint64_t>(std::max(s.record, 0)));
  j.text("status", set.refusal.empty() ? "computed" : "refused");
  if (!set.refusal.empty()) j.text("reason", set.refusal);

  j.open("levels", '[');
  for (const SchemeLevel& l : s.levels) {
    j.openElement();
    j.number("energy_keV", l.energy);
    j.optionalNumber("half_life_s",
                     l.halfLife && std::isfinite(*l.halfLife) ? l.halfLife : std::nullopt);
    j.boolean("stable", l.halfLife && std::isinf(*l.halfLife));
    j.number("feeding_percent", l.feeding);
    j.number("beta_plus_percent", l.betaPlus);
    // K captures into the level per 100 decays: PK of the capture feeding.
    j.number("k_capture_percent",
             s.electronCapture ? l.kCaptureFraction * (l.feeding - l.betaPlus) : 0.0);
    j.number("k_capture_fraction", l.kCaptureFraction);
    j.close('}');
  }
  j.close(']');

  j.open("transitions", '[');
  for (const SchemeTransition& t : s.transitions) {
    j.openElement();
    const auto levelEnergy = [&s](int32_t k) {
      return k >= 0 && static_cast<std::size_t>(k) < s.levels.size() ? s.levels[k].energy : kNaN;
    };
    j.number("upper_keV", levelEnergy(t.upper));
    j.number("lower_keV", levelEnergy(t.lower));
    j.number("energy_keV", t.energy);
    j.number("gamma_percent", t.gamma);
    j.number("alpha", t.alpha);
    j.number("alpha_k", t.alphaK);
    j.close('}');
  }
  j.close(']');

  j.open("photons", '[');
  for (const Photon& p : set.result.photons) {
    j.openElement();
    j.text("kind", lineKindName(p.kind));
    if (!p.label.empty()) j.text("label", p.label);
    j.number("energy_keV", p.energy);
    j.number("emission_percent", p.emission);
    efficiencyJson(j, p.efficiency);
    j.close('}');
  }
  j.close(']');

  j.open("lines", '[');
  for (std::size_t k = 0; k < set.result.lines.size(); ++k) {
    const LineResult& line = set.result.lines[k];
    j.openElement();
    j.text("kind", lineKindName(line.kind));
    if (!line.label.empty()) j.text("label", line.label);
    j.number("energy_keV", line.energy);
    j.number("emission_percent", line.emission);
    j.number("rate0_percent", line.rate0);
    j.number("rate_percent", line.rate);
    j.number("factor", line.factor);
    if (const auto* sim = entry(set.simulated, k)) {
      j.open("simulated", '{');
      j.number("factor", (*sim)->factor);
      j.number("standard", (*sim)->standard);
      j.close('}');
    }
    if (const auto* u = entry(set.uncertainty, k)) {
      j.open("uncertainty", '{');
      j.number("mean", (*u)->mean);
      j.number("standard", (*u)->standard);
      j.number("low95", (*u)->low95);
      j.number("high95", (*u)->high95);
      j.close('}');
    }
    if (const auto* c = entry(set.classic, k)) j.number("classic_factor", **c);
    if (const auto* a = entry(set.averaged, k)) j.number("averaged_factor", **a);
    j.close('}');
  }
  j.close(']');
  if (!set.classicNote.empty()) j.text("classic_note", set.classicNote);
  if (set.integration) j.number("integration_relative", *set.integration);
  j.open("warnings", '[');
  for (const std::string& w : set.result.warnings) {
    if (!j.first) j.out += ',';
    j.first = false;
    appendString(j.out, w);
  }
  j.close(']');
  j.close('}');
}

}  // namespace

std::string factorsJson(const FactorsRun& run, std::span<const DataSetFactors> sets) {
  Json j;
  j.out += '{';
  j.text("format", "tcsum-factors");
  j.integer("format_version", 1);
  j.open("program", '{');
  j.text("name", run.program);
  j.text("version", run.version);
  j.close('}');
  j.open("inputs", '[');
  for (const std::string& input : run.inputs) {
    if (!j.first) j.out += ',';
    j.first = false;
    appendString(j.out, input);
  }
  j.close(']');
  j.open("model", '{');
  j.text("name", "complete");
  j.text("source", run.geometry && run.geometry->points > 1 ? "volume" : "point");
  j.text("annihilation", annihilationName(run.settings.annihilation));
  j.optionalNumber("peak_window_keV", run.settings.peakWindow);
  j.number("isomer_threshold_s", run.settings.isomerThreshold);
  j.text("efficiency", run.efficiency);
  if (run.geometry) {
    j.open("geometry", '{');
    j.text("detector", run.geometry->detector);
    j.text("source", run.geometry->source);
    j.integer("emission_points", run.geometry->points);
    j.text("orders", run.geometry->orders);
    j.number("efficiency_accuracy_relative", run.geometry->efficiencyAccuracy);
    j.close('}');
  }
  j.close('}');
  j.key("simulation");
  if (run.simulation) {
    j.out += '{';
    j.first = true;
    j.integer("decays", run.simulation->decays);
    j.integer("seed", run.simulation->seed);
    j.close('}');
  } else {
    j.out += "null";
  }
  j.key("uncertainty");
  if (run.uncertainty) {
    j.out += '{';
    j.first = true;
    j.number("u_total_percent", run.uncertainty->uTotal);
    j.number("u_peak_percent", run.uncertainty->uPeak);
    j.text("correlation", "full");
    j.integer("samples", run.uncertainty->samples);
    j.integer("seed", run.uncertainty->seed);
    j.close('}');
  } else {
    j.out += "null";
  }
  if (!run.classicNote.empty()) j.text("classic_note", run.classicNote);
  j.open("datasets", '[');
  for (const DataSetFactors& set : sets) dataSetJson(j, set);
  j.close(']');
  j.close('}');
  j.out += '\n';
  return std::move(j.out);
}

// ---- CSV -----------------------------------------------------------------

std::string csvText(std::string_view field) {
  std::string text(field);
  if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
    text.insert(text.begin(), '\'');
  if (text.find_first_of(",\"\r\n'") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string factorsCsv(const FactorsRun& run, std::span<const DataSetFactors> sets) {
  std::string out = "nuclide,dataset,kind,energy_keV,emission_percent,rate0_percent,rate_percent,factor";
  if (run.simulation) out += ",simulated_factor,simulated_standard";
  if (run.uncertainty) out += ",factor_mean,factor_standard,factor_low95,factor_high95";
  if (run.geometry) out += ",averaged_factor";
  out += '\n';
  for (const DataSetFactors& set : sets) {
    if (!set.refusal.empty()) continue;
    const std::string names = csvText(set.scheme.parent) + ',' +
                              csvText(set.scheme.dsid.empty() ? set.scheme.name : set.scheme.dsid);
    for (std::size_t k = 0; k < set.result.lines.size(); ++k) {
      const LineResult& line = set.result.lines[k];
      out += names;
      out += ',';
      out += lineKindName(line.kind);
      for (double v : {line.energy, line.emission, line.rate0, line.rate, line.factor}) {
        out += ',';
        appendNumber(out, v, "");
      }
      if (run.simulation) {
        const auto* sim = entry(set.simulated, k);
        for (double v : {sim ? (*sim)->factor : kNaN, sim ? (*sim)->standard : kNaN}) {
          out += ',';
          appendNumber(out, v, "");
        }
      }
      if (run.uncertainty) {
        const auto* u = entry(set.uncertainty, k);
        for (double v : {u ? (*u)->mean : kNaN, u ? (*u)->standard : kNaN, u ? (*u)->low95 : kNaN,
                         u ? (*u)->high95 : kNaN}) {
          out += ',';
          appendNumber(out, v, "");
        }
      }
      if (run.geometry) {
        const auto* a = entry(set.averaged, k);
        out += ',';
        appendNumber(out, a ? **a : kNaN, "");
      }
      out += '\n';
    }
  }
  return out;
}

// ---- table -----------------------------------------------------------------

namespace {

std::string geometryText(const GeometryRun& g) {
  return g.source + " on " + g.detector + "; summing counted at " +
         (g.points == 1 ? std::string("one emission point") : std::to_string(g.points) + " emission points") +
         " (quadrature orders " + g.orders +
         "); integration: the total efficiency within " + general(g.efficiencyAccuracy) +
         " (largest relative change with every order raised by one)";
}

std::string integrationText(double relative) {
  return "integration: factors within " + general(relative) +
         " (largest relative change of a line's factor with the volume's quadrature order raised by one)";
}

}  // namespace

std::string factorsTable(const FactorsRun& run, std::span<const DataSetFactors> sets) {
  std::string out = std::string("Complete model (") +
                    (run.geometry ? "the sample counted point by point" : "point source") +
                    ", every coincidence counted exactly): annihilation " +
                    std::string(annihilationName(run.settings.annihilation)) + ", " +
                    peakWindowText(run.settings) + ", isomer threshold " +
                    general(run.settings.isomerThreshold) + " s\nEfficiency: " +
                    printable(run.efficiency) + "\n";
  if (run.geometry) out += "Geometry: " + printable(geometryText(*run.geometry)) + "\n";
  if (run.simulation)
    out += "Simulated: " + std::to_string(run.simulation->decays) + " decays, seed " +
           std::to_string(run.simulation->seed) + "\n";
  if (run.uncertainty)
    out += "Uncertainty: efficiencies " + general(run.uncertainty->uTotal) + " % (total), " +
           general(run.uncertainty->uPeak) + " % (peak), fully correlated, " +
           std::to_string(run.uncertainty->samples) + " samples, seed " +
           std::to_string(run.uncertainty->seed) + "\n";
  if (!run.classicNote.empty()) out += "Classic model: " + run.classicNote + "\n";
  for (const DataSetFactors& set : sets) {
    const DecayScheme& s = set.scheme;
    out += "\n" + printable(s.name);
    if (!s.parent.empty()) out += ", parent " + printable(s.parent);
    if (!s.dsid.empty()) out += ", " + printable(s.dsid);
    out += " (" + printable(s.source) + (s.record > 0 ? ":" + std::to_string(s.record) : "") + ")\n";
    if (!set.refusal.empty()) {
      out += "  refused: " + printable(set.refusal) + "\n";
      continue;
    }
    std::string head = "  " + padRight("line", 16) + padLeft("energy/keV", 12) +
                       padLeft("emission/%", 12) + padLeft("peak rate/%", 13) + padLeft("factor", 9);
    const bool simulated = run.simulation.has_value();
    const bool uncertain = run.uncertainty.has_value();
    const bool classic = !set.classic.empty();
    if (simulated) head += padLeft("simulated", 19);
    if (uncertain) head += padLeft("u(factor)", 11) + padLeft("95 % interval", 19);
    if (classic) head += padLeft("classic", 9) + padLeft("diff/%", 8);
    const bool averaged = !set.averaged.empty();
    if (averaged) head += padLeft("averaged", 10) + padLeft("diff/%", 8);
    out += head + "\n";
    for (std::size_t k : byEnergy(set)) {
      const LineResult& line = set.result.lines[k];
      std::string row = "  " + padRight(lineName(line), 16) + padLeft(fixed(line.energy, 3), 12) +
                        padLeft(line.kind == LineKind::sum ? "-" : general(line.emission), 12) +
                        padLeft(general(line.rate), 13) +
                        padLeft(line.kind == LineKind::sum ? "-" : fixed(line.factor, 4), 9);
      if (simulated) {
        const auto* sim = entry(set.simulated, k);
        row += padLeft(sim ? fixed((*sim)->factor, 4) + " +- " + fixed((*sim)->standard, 4) : "-", 19);
      }
      if (uncertain) {
        const auto* u = entry(set.uncertainty, k);
        row += padLeft(u ? fixed((*u)->standard, 4) : "-", 11) +
               padLeft(u ? fixed((*u)->low95, 4) + " - " + fixed((*u)->high95, 4) : "-", 19);
      }
      if (classic) {
        const auto* c = entry(set.classic, k);
        row += padLeft(c ? fixed(**c, 4) : "-", 9) +
               padLeft(c ? fixed(100.0 * (line.factor / **c - 1.0), 2) : "-", 8);
      }
      if (averaged) {
        const auto* a = entry(set.averaged, k);
        row += padLeft(a ? fixed(**a, 4) : "-", 10) +
               padLeft(a ? fixed(100.0 * (line.factor / **a - 1.0), 2) : "-", 8);
      }
      out += row + "\n";
    }
    if (!set.classicNote.empty()) out += "  classic model: " + printable(set.classicNote) + "\n";
    if (averaged)
      out += "  averaged: the factors with the sample's volume-averaged efficiencies; diff/%: the "
             "point-by-point factor's difference from them\n";
    if (set.integration) out += "  " + integrationText(*set.integration) + "\n";
  }
  return out;
}

// ---- HTML ----------------------------------------------------------------

namespace {

std::string escapeHtml(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

constexpr const char* kPageStyle = R"(
body { margin: 0; font: 15px/1.45 system-ui, "DejaVu Sans", sans-serif; color: #1d232a; background: #f4f6f8; }
main { max-width: 1100px; margin: 0 auto; padding: 20px; }
section { background: #fff; border: 1px solid #d5dae0; border-radius: 6px; padding: 14px 18px; margin: 0 0 18px; }
h1 { font-size: 22px; margin: 0 0 6px; }
h2 { font-size: 19px; margin: 0 0 8px; }
dl { display: grid; grid-template-columns: max-content 1fr; gap: 2px 14px; margin: 0; }
dt { color: #5b6570; }
dd { margin: 0; overflow-wrap: anywhere; }
table { border-collapse: collapse; }
th, td { padding: 3px 10px; border-bottom: 1px solid #d5dae0; text-align: right; }
th { background: #eef1f4; font-weight: 600; }
td:first-child, th:first-child { text-align: left; }
tr.sum td { background: #fbf8ee; }
.note { color: #5b6570; }
.box { border-left: 5px solid #d08b00; background: #fff6e0; padding: 8px 12px; margin: 10px 0; }
)";

}  // namespace

std::string factorsHtml(const FactorsRun& run, std::span<const DataSetFactors> sets) {
  return factorsHtml(run, sets, {});
}

std::string factorsHtml(const FactorsRun& run, std::span<const DataSetFactors> sets,
                        std::string_view section) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
      "'unsafe-inline'\">\n<title>tcsum factors: complete model</title>\n<style>";
  out += kPageStyle;
  out += "</style>\n</head>\n<body>\n<main>\n<section>\n<h1>Coincidence summing factors, complete "
         "model</h1>\n<dl>\n";
  auto item = [&out](const std::string& term, const std::string& value) {
    out += "<dt>" + term + "</dt><dd>" + escapeHtml(value) + "</dd>\n";
  };
  item("Program", run.program + " " + run.version);
  std::string inputs;
  for (const std::string& input : run.inputs) inputs += (inputs.empty() ? "" : ", ") + input;
  item("Decay data", inputs);
  item("Efficiency", run.efficiency);
  item("Model", std::string("point source, every coincidence counted exactly; annihilation ") +
                    annihilationName(run.settings.annihilation) + ", " +
                    peakWindowText(run.settings) + ", isomer threshold " +
                    general(run.settings.isomerThreshold) + " s");
  if (run.simulation)
    item("Simulation", std::to_string(run.simulation->decays) + " decays, seed " +
                           std::to_string(run.simulation->seed));
  if (run.uncertainty)
    item("Uncertainty", general(run.uncertainty->uTotal) + " % (total), " +
                            general(run.uncertainty->uPeak) + " % (peak), fully correlated, " +
                            std::to_string(run.uncertainty->samples) + " samples");
  if (!run.classicNote.empty()) item("Classic model", run.classicNote);
  if (run.geometry) item("Geometry", geometryText(*run.geometry));
  out += "</dl>\n<p class=\"note\">The factor of a line is its peak count without coincidences "
         "over its count with them: a measured peak area times the factor is the area "
         "free of coincidences.</p>\n</section>\n";
  out += section;
  for (const DataSetFactors& set : sets) {
    const DecayScheme& s = set.scheme;
    out += "<section>\n<h2>" + escapeHtml(s.name) + "</h2>\n<dl>\n";
    if (!s.parent.empty()) item("Parent", s.parent);
    if (!s.dsid.empty()) item("Data set", s.dsid);
    item("Read from", s.source + (s.record > 0 ? ":" + std::to_string(s.record) : ""));
    item("Levels, transitions", std::to_string(s.levels.size()) + ", " +
                                    std::to_string(s.transitions.size()));
    out += "</dl>\n";
    if (!set.refusal.empty()) {
      out += "<div class=\"box\">Refused: " + escapeHtml(set.refusal) + "</div>\n</section>\n";
      continue;
    }
    for (const std::string& w : set.result.warnings)
      out += "<div class=\"box\">Warning: " + escapeHtml(w) + "</div>\n";
    const bool classic = !set.classic.empty();
    out += "<table>\n<tr><th>line</th><th>energy / keV</th><th>emission / %</th><th>peak rate / "
           "%</th><th>factor</th>";
    if (run.simulation) out += "<th>simulated</th>";
    if (run.uncertainty) out += "<th>u(factor)</th><th>95 % interval</th>";
    if (classic) out += "<th>classic factor</th><th>difference / %</th>";
    const bool averaged = !set.averaged.empty();
    if (averaged) out += "<th>volume-averaged</th><th>difference / %</th>";
    out += "</tr>\n";
    for (std::size_t k : byEnergy(set)) {
      const LineResult& line = set.result.lines[k];
      out += line.kind == LineKind::sum ? "<tr class=\"sum\">" : "<tr>";
      out += "<td>" + escapeHtml(line.kind == LineKind::sum ? "sum peak" : lineName(line)) +
             "</td><td>" + fixed(line.energy, 3) + "</td><td>" +
             (line.kind == LineKind::sum ? "&ndash;" : general(line.emission)) + "</td><td>" +
             general(line.rate) + "</td><td>" +
             (line.kind == LineKind::sum ? "&ndash;" : fixed(line.factor, 4)) + "</td>";
      if (run.simulation) {
        const auto* sim = entry(set.simulated, k);
        out += "<td>" + (sim ? fixed((*sim)->factor, 4) + " &plusmn; " + fixed((*sim)->standard, 4)
                             : std::string("&ndash;")) + "</td>";
      }
      if (run.uncertainty) {
        const auto* u = entry(set.uncertainty, k);
        out += "<td>" + (u ? fixed((*u)->standard, 4) : std::string("&ndash;")) + "</td><td>" +
               (u ? fixed((*u)->low95, 4) + " &ndash; " + fixed((*u)->high95, 4)
                  : std::string("&ndash;")) + "</td>";
      }
      if (classic) {
        const auto* c = entry(set.classic, k);
        out += "<td>" + (c ? fixed(**c, 4) : std::string("&ndash;")) + "</td><td>" +
               (c ? fixed(100.0 * (line.factor / **c - 1.0), 2) : std::string("&ndash;")) + "</td>";
      }
      if (averaged) {
        const auto* a = entry(set.averaged, k);
        out += "<td>" + (a ? fixed(**a, 4) : std::string("&ndash;")) + "</td><td>" +
               (a ? fixed(100.0 * (line.factor / **a - 1.0), 2) : std::string("&ndash;")) + "</td>";
      }
      out += "</tr>\n";
    }
    out += "</table>\n";
    if (averaged)
      out += "<p class=\"note\">Volume-averaged: the factors computed with the sample's "
             "volume-averaged efficiencies, as from an efficiency table of the sample; the "
             "difference is the point-by-point factor's from them.</p>\n";
    if (set.integration) out += "<p class=\"note\">" + escapeHtml(integrationText(*set.integration)) + "</p>\n";
    if (!set.classicNote.empty())
      out += "<p class=\"note\">Classic model: " + escapeHtml(set.classicNote) + "</p>\n";
    out += "</section>\n";
  }
  out += "</main>\n</body>\n</html>\n";
  return out;
}

}  // namespace tcsum::complete
