// Fuzz target: arbitrary bytes as an efficiency file, the CSV table when
// the first byte is even, the TOML curve when it is odd. A refusal is an
// expected outcome; a crash, a sanitizer report, or a table or curve that
// was accepted and gives an efficiency that is no probability (outside
// [0, 1], or a peak above the total) is a finding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "efficiency/csv_table.hpp"
#include "efficiency/log_curve.hpp"
#include "efficiency/loglog_table.hpp"
#include "efficiency/text_file.hpp"

namespace {

void checkProbabilities(const tcsum::Efficiency& e) {
  for (double energy : {1.0, 10.0, 59.5, 121.8, 511.0, 661.7, 1332.5, 2614.5, 1e4}) {
    const tcsum::EfficiencyPair p = e.at(energy);
    if (!(p.total >= 0.0 && p.total <= 1.0 && p.peak >= 0.0 && p.peak <= p.total)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    if (data[0] % 2 == 0) {
      auto points = tcsum::efficiency::parseEfficiencyCsv(text, "fuzz.csv");
      const tcsum::efficiency::LogLogTable table(std::move(points), "fuzz.csv");
      checkProbabilities(table);
    } else {
      const auto curve = tcsum::efficiency::parseEfficiencyCurve(text, "fuzz.toml");
      checkProbabilities(curve);
    }
  } catch (const tcsum::efficiency::InputFileError&) {
  }
  return 0;
}
