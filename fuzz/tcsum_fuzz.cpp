// Fuzz target: arbitrary bytes as the data file, through the whole run in
// memory (reader, efficiencies, decay scheme, summing and report writer).
// A run stopped by a diagnostic is an expected outcome; a crash, a sanitizer
// report or a report left with a half-written record is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "core/fatal.hpp"
#include "driver/run.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  auto store = std::make_unique<tcsum::Store>();
  tcsum::Report report;  // in memory
  try {
    tcsum::run(*store, in, report, [] { return tcsum::CalendarDate{7, 12, 2026}; });
  } catch (const tcsum::RunStop&) {
    // The diagnostic is the expected end of most runs on arbitrary bytes.
  }
  // Whatever stopped the run, the report holds whole records only.
  const std::string& out = report.contents();
  if (!out.empty() && !out.ends_with("\r\n")) std::abort();
  return 0;
}
