#include "outputs/csv_writer.hpp"

#include "outputs/text.hpp"

namespace tcsum {

CsvWriter::CsvWriter(OutputFile& file) : file_(file) {
  file_.write("dataset,kind,upper,lower,energy_keV,rate0_percent,rate_percent,factor\n");
}

std::string csvField(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

void CsvWriter::dataSet(const DataSetResult& ds) {
  const std::string name = csvField(utf8FromCodePage437(trimmedName(ds.DSNAME)));
  std::string out;
  auto numbers = [&out](float energy, float rate0, float rate, float factor) {
    for (float value : {energy, rate0, rate, factor}) {
      out += ',';
      out += shortestDecimal(value);  // empty when not finite
    }
    out += '\n';
  };
  for (const GammaLine& g : ds.gammas) {
    out += name + ",gamma," + std::to_string(g.upper) + ',' + std::to_string(g.lower);
    numbers(g.energy, g.RATE0, g.RATE, g.KORR);
  }
  if (ds.xray) {
    out += name + ",kxray,,";
    numbers(ds.xray->energy, ds.xray->RATE0, ds.xray->RATE, ds.xray->KORR);
  }
  file_.write(out);
}

}  // namespace tcsum
