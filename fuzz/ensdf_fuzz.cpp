// Fuzz target: arbitrary bytes as an ENSDF file, through the reader, the
// conversion of every decay data set and the writer. A refusal is an
// expected outcome; a crash, a sanitizer report or a data set the program
// could not hold is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ensdf/convert.hpp"
#include "ensdf/dataset.hpp"
#include "ensdf/writer.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const auto& set : tcsum::ensdf::readDataSets(text, "fuzz")) {
    const auto c = tcsum::ensdf::convert(set, {});
    if (c.refusal != tcsum::ensdf::RefusalKind::None && !c.sets.empty()) std::abort();
    for (const auto& o : c.sets) {
      if (o.levels.empty() || o.levels.size() > 32 || o.name.size() > 8) std::abort();
      for (std::size_t i = 1; i < o.levels.size(); ++i)
        if (!(o.levels[i].energy > 0.0f)) std::abort();  // would end the level list
      for (const auto& t : o.transitions)
        if (t.lower < 1 || t.upper <= t.lower || t.upper > static_cast<int>(o.levels.size()))
          std::abort();
      std::string out;
      tcsum::ensdf::writeDataSet(o, out);
    }
  }
  return 0;
}
