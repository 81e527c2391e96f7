#include "outputs/json_writer.hpp"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <vector>

#include "core/number_text.hpp"
#include "outputs/text.hpp"

namespace tcsum {

namespace {

// A new line, indented by LEVEL levels of two spaces.
void indent(std::string& out, int level) {
  static constexpr std::string_view kLineStart =
      "\n                                                                ";
  const auto width = static_cast<std::size_t>(1 + 2 * level);
  if (width <= kLineStart.size()) {
    out.append(kLineStart.data(), width);
  } else {
    out += '\n';
    out.append(width - 1, ' ');
  }
}

// TEXT as a JSON string. Printable ASCII without quotes or backslashes
// stands as it is; anything else takes the library's escaping, where bytes
// that are not UTF-8 (a path given on the command line) become U+FFFD.
void appendString(std::string& out, std::string_view text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return c >= ' ' && c < '\x7f' && c != '"' && c != '\\';
  });
  if (!plain) {
    out += nlohmann::json(std::string(text))
               .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return;
  }
  out += '"';
  out += text;
  out += '"';
}

// A JSON value written as it goes, without building it first: two spaces of
// indentation a level, every member and element on a line of its own, empty
// objects and arrays as {} and [], every float as the shortest decimal that
// reads back to it, and one that is not finite as null.
class JsonStream {
 public:
  // The value starts where OUT ends, LEVEL levels of indentation in.
  JsonStream(std::string& out, int level) : out_(out), base_(level) {}

  // Opens an object ('{') or an array ('['); close() ends the last one open.
  void open(char bracket) {
    const int level = open_.empty() ? base_ : open_.back().level + 1;
    start();
    out_ += bracket;
    open_.push_back({bracket == '{' ? '}' : ']', level, true});
  }
  void close() {
    const Container c = open_.back();
    open_.pop_back();
    if (!c.empty) indent(out_, c.level);
    out_ += c.closing;
  }
  // The name of the next member of the object open now; its value follows.
  // Names are the format's own, plain ASCII that needs no escaping.
  void key(std::string_view name) {
    separate();
    out_ += '"';
    out_ += name;
    out_ += "\": ";
    named_ = true;
  }

  void value(float v) {
    start();
    if (!appendShortestDecimal(out_, v)) out_ += "null";
  }
  void value(int32_t v) { value(static_cast<int64_t>(v)); }
  void value(int64_t v) { integer(v); }
  void value(uint64_t v) { integer(v); }
  void value(bool v) {
    start();
    out_ += v ? "true" : "false";
  }
  void value(std::string_view text) {
    start();
    appendString(out_, text);
  }
  void value(const char* text) { value(std::string_view(text)); }
  void null() {
    start();
    out_ += "null";
  }

  template <typename T>
  void field(std::string_view name, const T& v) {
    key(name);
    value(v);
  }

 private:
  struct Container {
    char closing;
    int level;
    bool empty;
  };

  // Before a value: an element of an array takes its line here; a member
  // took it in key().
  void start() {
    if (named_ || open_.empty()) {
      named_ = false;
      return;
    }
    separate();
  }
  void separate() {
    Container& c = open_.back();
    if (!c.empty) out_ += ',';
    c.empty = false;
    indent(out_, c.level + 1);
  }
  template <typename Integer>
  void integer(Integer v) {
    start();
    text::appendInteger(out_, v);
  }

  std::string& out_;
  int base_;
  std::vector<Container> open_;
  bool named_ = false;
};

std::string utf8(std::string_view text) {
  return utf8FromCodePage437(text);
}

std::string twoDigits(int32_t n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
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

void efficiencyPair(JsonStream& j, float total, float peak) {
  j.open('{');
  j.field("total", total);
  j.field("peak", peak);
  j.close();
}

// The warnings of a part of the run: record number and text, in record order.
void warnings(JsonStream& j, const std::vector<Warning>& list) {
  j.open('[');
  for (const Warning& w : list) {
    j.open('{');
    j.field("record", w.record);
    j.field("text", utf8(w.text));
    j.close();
  }
  j.close();
}

// The uncertainty of a line's factor, when the run computed it.
void uncertainty(JsonStream& j, const std::optional<FactorUncertainty>& u) {
  if (!u) return;
  j.key("uncertainty");
  j.open('{');
  j.field("mean", u->mean);
  j.field("standard", u->standard);
  j.key("interval95");
  j.open('[');
  j.value(u->low95);
  j.value(u->high95);
  j.close();
  j.field("sensitivity_total", u->sensitivityTotal);
  j.field("sensitivity_peak", u->sensitivityPeak);
  j.close();
}

void uncertaintySettings(JsonStream& j, const UncertaintySettings& u) {
  j.open('{');
  j.field("method", "monte-carlo");
  j.field("distribution", "log-normal");
  j.field("u_total_percent", u.uTotalPercent);
  j.field("u_peak_percent", u.uPeakPercent);
  j.field("correlation", u.correlation == EfficiencyCorrelation::full ? "full" : "none");
  j.field("samples", u.samples);
  j.field("seed", u.seed);
  j.close();
}

void gammaLine(JsonStream& j, const GammaLine& g) {
  j.open('{');
  j.field("kind", "gamma");
  j.field("upper", g.upper);
  j.field("lower", g.lower);
  j.field("energy_keV", g.energy);
  j.field("rate0_percent", g.RATE0);
  j.field("rate_percent", g.RATE);
  j.field("factor", g.KORR);
  uncertainty(j, g.uncertainty);
  j.close();
}

void xrayLine(JsonStream& j, const XrayLine& x) {
  j.open('{');
  j.field("kind", "kxray");
  j.field("energy_keV", x.energy);
  j.field("rate0_percent", x.RATE0);
  j.field("rate_percent", x.RATE);
  j.field("factor", x.KORR);
  uncertainty(j, x.uncertainty);
  j.key("contributions");
  j.open('[');
  for (const XrayContribution& c : x.contributions) {
    j.open('{');
    if (c.source == XrayContribution::Source::conversion) {
      j.field("source", "conversion");
      j.field("upper", c.upper);
      j.field("lower", c.lower);
    } else {
      j.field("source", "capture");
      j.field("level", c.upper);
    }
    j.field("rate0_percent", c.RATE0);
    j.field("rate_percent", c.RATE);
    j.field("factor", c.KORR);
    j.close();
  }
  j.close();
  j.close();
}

void writeDataSet(JsonStream& j, const DataSetResult& ds) {
  const bool complete = ds.reached == Stage::complete;
  j.open('{');
  j.field("name", utf8(trimmedName(ds.DSNAME)));
  j.field("decay_mode", utf8(trimmedName(ds.DECMODE)));
  j.field("electron_capture", ds.electronCapture);
  j.field("calculation_date",
          std::to_string(ds.IYEAR) + '-' + twoDigits(ds.IMONTH) + '-' + twoDigits(ds.IDAY));
  j.field("xray_energy_keV", ds.EX);
  j.field("omega_k", ds.OMEGAK);
  j.key("xray_efficiency");
  efficiencyPair(j, ds.EPSTX, ds.EPSX);
  j.field("status", complete ? "complete" : "stopped");
  if (!complete) j.field("stopped_after", stageName(ds.reached));

  j.key("levels");
  j.open('[');
  for (const LevelResult& l : ds.levels) {
    j.open('{');
    j.field("number", l.number);
    j.field("energy_keV", l.energy);
    j.field("feeding_percent", l.feeding);
    j.field("k_capture_fraction", l.PK);
    if (complete) j.field("population_percent", l.population);
    j.close();
  }
  j.close();

  j.key("transitions");
  j.open('[');
  for (const TransitionResult& t : ds.transitions) {
    j.open('{');
    j.field("upper", t.upper);
    j.field("lower", t.lower);
    j.field("energy_keV", t.energy);
    j.field("intensity_percent", t.intensity);
    j.field("alpha", t.ALPHA);
    j.field("alpha_k", t.ALPHAK);
    j.key("efficiency");
    efficiencyPair(j, t.EPSTG, t.EPSG);
    j.field("probability", t.probability);
    j.close();
  }
  j.close();

  j.key("balance_warnings");
  j.open('[');
  for (const BalanceFinding& f : ds.balance) {
    j.open('{');
    j.field("level", f.level);
    j.field("populated_percent", f.PIN);
    j.field("depopulated_percent", f.POUT);
    j.close();
  }
  j.close();

  j.key("lines");
  j.open('[');
  for (const GammaLine& g : ds.gammas)
    gammaLine(j, g);
  if (ds.xray) xrayLine(j, *ds.xray);
  j.close();
  j.key("warnings");
  warnings(j, ds.warnings);
  if (ds.uncertainty) {
    j.key("uncertainty");
    uncertaintySettings(j, *ds.uncertainty);
  }
  j.close();
}

void writeDetector(JsonStream& j, const DetectorResult& d) {
  j.open('{');
  j.field("number", 10 * d.KDET1 + d.KDET);
  j.field("text", utf8({d.DETTXT.data(), d.DETTXT.size()}));
  j.key("efficiency_table");
  j.open('[');
  for (const EfficiencyPoint& p : d.table) {
    j.open('{');
    j.field("energy_keV", p.energy);
    j.field("total", p.total);
    j.field("peak", p.peak);
    j.close();
  }
  j.close();
  j.key("warnings");
  warnings(j, d.warnings);
  j.close();
}

// A member of the document's top-level object: its line and name; the value
// follows at level 1.
void topLevelKey(std::string& out, std::string_view name) {
  indent(out, 1);
  appendString(out, name);
  out += ": ";
}

}  // namespace

JsonWriter::JsonWriter(OutputFile& file, const RunInfo& info) : file_(file) {
  std::string out = "{";
  topLevelKey(out, "format");
  appendString(out, "tcsum-results");
  out += ',';
  topLevelKey(out, "format_version");
  out += "1,";
  topLevelKey(out, "program");
  {
    JsonStream j(out, 1);
    j.open('{');
    j.field("name", info.program);
    j.field("version", info.version);
    j.close();
  }
  out += ',';
  topLevelKey(out, "input");
  {
    JsonStream j(out, 1);
    j.open('{');
    j.field("path", info.inputPath);
    j.key("sha256");
    if (info.inputSha256) {
      j.value(*info.inputSha256);
    } else {
      j.null();
    }
    j.close();
  }
  out += ',';
  file_.write(out);
}

void JsonWriter::detector(const DetectorResult& d) {
  std::string out;
  topLevelKey(out, "detector");
  JsonStream j(out, 1);
  writeDetector(j, d);
  out += ',';
  topLevelKey(out, "datasets");
  out += '[';
  file_.write(out);
  detectorWritten_ = true;
}

void JsonWriter::format(const DataSetResult& ds, std::string& out) {
  indent(out, 2);
  JsonStream j(out, 2);
  writeDataSet(j, ds);
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
    topLevelKey(out, "detector");
    out += "null,";
    topLevelKey(out, "datasets");
    out += '[';
  }
  if (anyDataSet_) indent(out, 1);
  out += "],";
  if (!after.empty()) {
    topLevelKey(out, "warnings");
    JsonStream j(out, 1);
    warnings(j, after);
    out += ',';
  }
  topLevelKey(out, "status");
  out += stopped ? "\"stopped\"" : "\"complete\"";
  if (stopped) {
    out += ',';
    topLevelKey(out, "diagnostic");
    appendString(out, *stopped);
  }
  out += "\n}\n";
  file_.write(out);
}

}  // namespace tcsum
