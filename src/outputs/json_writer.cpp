#include "outputs/json_writer.hpp"

#include <algorithm>
#include <charconv>

#include "outputs/text.hpp"

namespace tcsum {

namespace {

void indent(std::string& out, int level) {
  out += '\n';
  out.append(static_cast<std::size_t>(2 * level), ' ');
}

template <typename Integer>
void appendInteger(std::string& out, Integer value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

// TEXT as a JSON string. Printable ASCII without quotes or backslashes
// stands as it is; anything else takes the library's escaping, where bytes
// that are not UTF-8 (a path given on the command line) become U+FFFD.
void appendString(std::string& out, const std::string& text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return c >= ' ' && c < '\x7f' && c != '"' && c != '\\';
  });
  if (!plain) {
    out += Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
    return;
  }
  out += '"';
  out += text;
  out += '"';
}

std::string utf8(std::string_view text) {
  return utf8FromCodePage437(text);
}

std::string twoDigits(int32_t n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
}

Json efficiencyPair(float total, float peak) {
  return Json{{"total", total}, {"peak", peak}};
}

// The uncertainty of a line's factor, when the run computed it.
void addUncertainty(Json& line, const std::optional<FactorUncertainty>& u) {
  if (!u) return;
  line["uncertainty"] = Json{{"mean", u->mean},
                             {"standard", u->standard},
                             {"interval95", Json::array({u->low95, u->high95})},
                             {"sensitivity_total", u->sensitivityTotal},
                             {"sensitivity_peak", u->sensitivityPeak}};
}

Json uncertaintySettingsJson(const UncertaintySettings& u) {
  return Json{{"method", "monte-carlo"},
              {"distribution", "log-normal"},
              {"u_total_percent", u.uTotalPercent},
              {"u_peak_percent", u.uPeakPercent},
              {"correlation", u.correlation == EfficiencyCorrelation::full ? "full" : "none"},
              {"samples", u.samples},
              {"seed", u.seed}};
}

Json gammaJson(const GammaLine& g) {
  Json j{{"kind", "gamma"},        {"upper", g.upper},         {"lower", g.lower},
         {"energy_keV", g.energy}, {"rate0_percent", g.RATE0}, {"rate_percent", g.RATE},
         {"factor", g.KORR}};
  addUncertainty(j, g.uncertainty);
  return j;
}

Json xrayJson(const XrayLine& x) {
  Json contributions = Json::array();
  for (const XrayContribution& c : x.contributions) {
    Json item;
    if (c.source == XrayContribution::Source::conversion) {
      item["source"] = "conversion";
      item["upper"] = c.upper;
      item["lower"] = c.lower;
    } else {
      item["source"] = "capture";
      item["level"] = c.upper;
    }
    item["rate0_percent"] = c.RATE0;
    item["rate_percent"] = c.RATE;
    item["factor"] = c.KORR;
    contributions.push_back(std::move(item));
  }
  Json j{{"kind", "kxray"},
         {"energy_keV", x.energy},
         {"rate0_percent", x.RATE0},
         {"rate_percent", x.RATE},
         {"factor", x.KORR}};
  addUncertainty(j, x.uncertainty);
  j["contributions"] = std::move(contributions);
  return j;
}

const char* stageName(Stage stage) {
  switch (stage) {
    case Stage::header:
      return "header";
    case Stage::levels:
      return "levels";
    case Stage::transitions:
      return "transitions";
    case Stage::complete:
      return "complete";
  }
  return "";
}

}  // namespace

void appendJson(std::string& out, const Json& j, int level) {
  switch (j.type()) {
    case Json::value_t::object: {
      if (j.empty()) {
        out += "{}";
        return;
      }
      out += '{';
      bool first = true;
      for (const auto& [key, value] : j.items()) {
        if (!first) out += ',';
        first = false;
        indent(out, level + 1);
        appendString(out, key);
        out += ": ";
        appendJson(out, value, level + 1);
      }
      indent(out, level);
      out += '}';
      return;
    }
    case Json::value_t::array: {
      if (j.empty()) {
        out += "[]";
        return;
      }
      out += '[';
      bool first = true;
      for (const auto& value : j) {
        if (!first) out += ',';
        first = false;
        indent(out, level + 1);
        appendJson(out, value, level + 1);
      }
      indent(out, level);
      out += ']';
      return;
    }
    case Json::value_t::number_float: {
      const std::string digits = shortestDecimal(j.get<float>());
      out += digits.empty() ? "null" : digits;
      return;
    }
    case Json::value_t::number_integer:
      appendInteger(out, j.get<std::int64_t>());
      return;
    case Json::value_t::number_unsigned:
      appendInteger(out, j.get<std::uint64_t>());
      return;
    case Json::value_t::string:
      appendString(out, j.get_ref<const std::string&>());
      return;
    case Json::value_t::boolean:
      out += j.get<bool>() ? "true" : "false";
      return;
    default:
      // null (and binary values, which the results never hold)
      out += j.dump(-1, ' ', false, Json::error_handler_t::replace);
      return;
  }
}

namespace {
// The warnings of a part of the run: record number and text, in record order.
Json warningsJson(const std::vector<Warning>& warnings) {
  Json out = Json::array();
  for (const Warning& w : warnings)
    out.push_back(Json{{"record", w.record}, {"text", utf8(w.text)}});
  return out;
}
}  // namespace

Json detectorJson(const DetectorResult& d) {
  Json table = Json::array();
  for (const EfficiencyPoint& p : d.table)
    table.push_back(Json{{"energy_keV", p.energy}, {"total", p.total}, {"peak", p.peak}});
  return Json{{"number", 10 * d.KDET1 + d.KDET},
              {"text", utf8({d.DETTXT.data(), d.DETTXT.size()})},
              {"efficiency_table", std::move(table)},
              {"warnings", warningsJson(d.warnings)}};
}

Json dataSetJson(const DataSetResult& ds) {
  Json j;
  j["name"] = utf8(trimmedName(ds.DSNAME));
  j["decay_mode"] = utf8(trimmedName(ds.DECMODE));
  j["electron_capture"] = ds.electronCapture;
  j["calculation_date"] =
      std::to_string(ds.IYEAR) + '-' + twoDigits(ds.IMONTH) + '-' + twoDigits(ds.IDAY);
  j["xray_energy_keV"] = ds.EX;
  j["omega_k"] = ds.OMEGAK;
  j["xray_efficiency"] = efficiencyPair(ds.EPSTX, ds.EPSX);
  j["status"] = ds.reached == Stage::complete ? "complete" : "stopped";
  if (ds.reached != Stage::complete) j["stopped_after"] = stageName(ds.reached);

  Json levels = Json::array();
  for (const LevelResult& l : ds.levels) {
    Json level{{"number", l.number},
               {"energy_keV", l.energy},
               {"feeding_percent", l.feeding},
               {"k_capture_fraction", l.PK}};
    if (ds.reached == Stage::complete) level["population_percent"] = l.population;
    levels.push_back(std::move(level));
  }
  j["levels"] = std::move(levels);

  Json transitions = Json::array();
  for (const TransitionResult& t : ds.transitions) {
    transitions.push_back(Json{{"upper", t.upper},
                               {"lower", t.lower},
                               {"energy_keV", t.energy},
                               {"intensity_percent", t.intensity},
                               {"alpha", t.ALPHA},
                               {"alpha_k", t.ALPHAK},
                               {"efficiency", efficiencyPair(t.EPSTG, t.EPSG)},
                               {"probability", t.probability}});
  }
  j["transitions"] = std::move(transitions);

  Json balance = Json::array();
  for (const BalanceFinding& f : ds.balance) {
    balance.push_back(
        Json{{"level", f.level}, {"populated_percent", f.PIN}, {"depopulated_percent", f.POUT}});
  }
  j["balance_warnings"] = std::move(balance);

  Json lines = Json::array();
  for (const GammaLine& g : ds.gammas)
    lines.push_back(gammaJson(g));
  if (ds.xray) lines.push_back(xrayJson(*ds.xray));
  j["lines"] = std::move(lines);
  j["warnings"] = warningsJson(ds.warnings);
  if (ds.uncertainty) j["uncertainty"] = uncertaintySettingsJson(*ds.uncertainty);
  return j;
}

JsonWriter::JsonWriter(OutputFile& file, const RunInfo& info) : file_(file) {
  Json input{{"path", info.inputPath}};
  input["sha256"] = info.inputSha256 ? Json(*info.inputSha256) : Json(nullptr);
  std::string out = "{";
  const std::pair<const char*, Json> head[] = {
      {"format", "tcsum-results"},
      {"format_version", 1},
      {"program", Json{{"name", info.program}, {"version", info.version}}},
      {"input", std::move(input)}};
  for (const auto& [key, value] : head) {
    indent(out, 1);
    out += '"';
    out += key;
    out += "\": ";
    appendJson(out, value, 1);
    out += ',';
  }
  file_.write(out);
}

void JsonWriter::detector(const DetectorResult& d) {
  std::string out;
  indent(out, 1);
  out += "\"detector\": ";
  appendJson(out, detectorJson(d), 1);
  out += ',';
  indent(out, 1);
  out += "\"datasets\": [";
  file_.write(out);
  detectorWritten_ = true;
}

void JsonWriter::format(const DataSetResult& ds, std::string& out) {
  indent(out, 2);
  appendJson(out, dataSetJson(ds), 2);
}

void JsonWriter::dataSet(const DataSetResult& ds, std::string_view formatted) {
  std::string own;
  if (formatted.empty()) {
    format(ds, own);
    formatted = own;
  }
  if (anyDataSet_) file_.write(",");
  file_.write(formatted);
  anyDataSet_ = true;
}

void JsonWriter::end(const std::optional<std::string>& stopped, const std::vector<Warning>& after) {
  std::string out;
  if (!detectorWritten_) {
    indent(out, 1);
    out += "\"detector\": null,";
    indent(out, 1);
    out += "\"datasets\": [";
  }
  if (anyDataSet_) indent(out, 1);
  out += "],";
  if (!after.empty()) {
    indent(out, 1);
    out += "\"warnings\": ";
    appendJson(out, warningsJson(after), 1);
    out += ',';
  }
  indent(out, 1);
  out += "\"status\": ";
  out += stopped ? "\"stopped\"" : "\"complete\"";
  if (stopped) {
    out += ',';
    indent(out, 1);
    out += "\"diagnostic\": ";
    appendJson(out, Json(*stopped), 1);
  }
  out += "\n}\n";
  file_.write(out);
}

}  // namespace tcsum
