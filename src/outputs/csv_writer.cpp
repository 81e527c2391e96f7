#include "outputs/csv_writer.hpp"

#include <cmath>

#include "outputs/text.hpp"

namespace tcsum {

CsvWriter::CsvWriter(OutputFile& file, bool withUncertainty)
    : file_(file), withUncertainty_(withUncertainty) {
  file_.write(withUncertainty_ ? "dataset,kind,upper,lower,energy_keV,rate0_percent,rate_percent,"
                                 "factor,factor_u,factor_low95,factor_high95\n"
                               : "dataset,kind,upper,lower,energy_keV,rate0_percent,rate_percent,"
                                 "factor\n");
}

std::string csvField(std::string_view field) {
  // A text a spreadsheet would take for a formula is kept as text by a
  // leading apostrophe, and quoted, as common CSV writers (and the CSV of
  // tcsum factors) do.
  std::string text(field);
  const bool guarded =
      !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
  if (guarded) text.insert(text.begin(), '\'');
  if (!guarded && text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

void CsvWriter::format(const DataSetResult& ds, std::string& out) const {
  const std::string name = csvField(utf8FromCodePage437(trimmedName(ds.DSNAME)));
  auto numbers = [&](float energy, float rate0, float rate, float factor,
                     const std::optional<FactorUncertainty>& u) {
    for (float value : {energy, rate0, rate, factor}) {
      out += ',';
      appendShortestDecimal(out, value);  // nothing when not finite
    }
    if (withUncertainty_) {
      for (float value : {u ? u->standard : NAN, u ? u->low95 : NAN, u ? u->high95 : NAN}) {
        out += ',';
        appendShortestDecimal(out, value);
      }
    }
    out += '\n';
  };
  for (const GammaLine& g : ds.gammas) {
    out += name;
    out += ",gamma,";
    out += std::to_string(g.upper);
    out += ',';
    out += std::to_string(g.lower);
    numbers(g.energy, g.RATE0, g.RATE, g.KORR, g.uncertainty);
  }
  if (ds.xray) {
    out += name;
    out += ",kxray,,";
    numbers(ds.xray->energy, ds.xray->RATE0, ds.xray->RATE, ds.xray->KORR, ds.xray->uncertainty);
  }
}

void CsvWriter::dataSet(const DataSetResult& ds, std::string_view formatted) {
  if (!formatted.empty()) {
    file_.write(formatted);
    return;
  }
  std::string own;
  format(ds, own);
  file_.write(own);
}

}  // namespace tcsum
