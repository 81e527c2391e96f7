// Fuzz target: arbitrary bytes as the data file, through the whole run in
// memory (reader, efficiencies, decay scheme, summing and report writer).
// A run stopped by a diagnostic is an expected outcome; findings are a crash,
// a sanitizer report, a report left with a half-written record, and a data
// set whose section of the report depends on the data sets before it: the
// last data set of a complete run, run again with the efficiency block
// alone before it, must give the same section byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/fatal.hpp"
#include "driver/run.hpp"

namespace {

struct Outcome {
  std::string report;
  bool complete = false;
  std::vector<int32_t> headers;          // record number of each data set's header
  std::vector<std::size_t> sectionEnds;  // report size after each data set
  int32_t efficiencyRecords = 0;
};

Outcome runOn(std::string_view text) {
  Outcome o;
  std::istringstream in{std::string(text)};
  auto store = std::make_unique<tcsum::Store>();
  tcsum::Report report;  // in memory
  try {
    tcsum::run(
        *store, in, report,
        [] {
          return tcsum::CalendarDate{7, 12, 2026};
        },
        [&](const tcsum::Store& s) {
          o.headers.push_back(s.headerRecord);
          o.sectionEnds.push_back(report.contents().size());
          o.efficiencyRecords = s.NEFF + 1;
        });
    o.complete = true;
  } catch (const tcsum::RunStop&) {
    // The diagnostic is the expected end of most runs on arbitrary bytes.
  }
  o.report = report.contents();
  return o;
}

// Lines FIRST ... LAST (1-based, inclusive; LAST 0 = to the end) of TEXT
// with their line ends.
std::string lines(std::string_view text, int32_t first, int32_t last) {
  std::string out;
  int32_t line = 1;
  std::size_t at = 0;
  while (at < text.size() && (last == 0 || line <= last)) {
    std::size_t end = text.find('\n', at);
    end = (end == std::string_view::npos) ? text.size() : end + 1;
    if (line >= first) out.append(text.substr(at, end - at));
    at = end;
    ++line;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Outcome whole = runOn(text);
  // Whatever stopped the run, the report holds whole records only.
  if (!whole.report.empty() && !whole.report.ends_with("\r\n")) std::abort();

  if (whole.complete && whole.headers.size() >= 2) {
    const std::string alone =
        lines(text, 1, whole.efficiencyRecords) + lines(text, whole.headers.back(), 0);
    const Outcome last = runOn(alone);
    const std::size_t from = whole.sectionEnds[whole.sectionEnds.size() - 2];
    if (!last.complete || last.report != std::string_view(whole.report).substr(from)) std::abort();
  }
  return 0;
}
