#include "driver/check_mode.hpp"

#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

#include "check/warnings.hpp"
#include "core/fatal.hpp"
#include "core/number_text.hpp"
#include "efficiency/eps.hpp"
#include "efficiency/table_efficiency.hpp"
#include "input/input_file.hpp"
#include "input/reader.hpp"
#include "model/classic.hpp"
#include "model/model.hpp"

namespace tcsum {

namespace {

void pad(std::string& line, std::size_t width) {
  if (line.size() < width) line.append(width - line.size(), ' ');
}

std::string fieldLine(const Record& r, const layout::TypedField& f) {
  const Field& field = f.field;
  const std::string_view found = r.columns(field.first, field.last);
  std::string columns = text::integer(field.first);
  if (field.last != field.first) columns += "-" + text::integer(field.last);
  std::string line = "  ";
  line.append(columns.size() < 5 ? 5 - columns.size() : 0, ' ');
  line += columns + "  " + field.name;
  pad(line, 46);
  line += quoted(found);
  if (f.type == layout::Type::text) return line;
  pad(line, 60);
  line += " = ";
  if (f.type == layout::Type::real) {
    float value = 0.0f;
    if (!convertReal(found, value)) return line + "(not a number)";
    text::appendShortest(line, value);
  } else {
    int32_t value = 0;
    if (!convertInteger(found, value)) return line + "(not an integer)";
    text::appendInteger(line, value);
  }
  if (*f.unit != '\0') line += std::string(" ") + f.unit;
  return line;
}

// The records of a data set read from the file as the stages ask for them,
// so the listing and a fault come where the reading meets them.
struct RecordsOnDemand final : DataSetRecords {
  RecordsOnDemand(DataFile& f, int32_t record) : file(f), header(record) {}
  DataFile& file;
  int32_t header;
  std::vector<LevelRecord> levelList;
  std::vector<TransitionRecord> transitionList;

  int32_t headerRecord() const override { return header; }
  std::span<const LevelRecord> levels() override {
    readLevelRecords(file, levelList);
    return levelList;
  }
  std::span<const TransitionRecord> transitions() override {
    readTransitionRecords(file, transitionList);
    return transitionList;
  }
};

}  // namespace

std::string listRecord(const Record& record, const char* expecting) {
  std::string_view kind = expecting;
  for (std::string_view article : {"the ", "an ", "a "}) {
    if (kind.starts_with(article)) {
      kind.remove_prefix(article.size());
      break;
    }
  }
  std::string out = "record " + std::to_string(record.number) + ": " + std::string(kind) + '\n';
  for (const layout::RecordKind& k : layout::kRecordKinds) {
    if (std::string_view(k.expecting) != expecting) continue;
    for (const layout::TypedField& f : k.fields)
      out += fieldLine(record, f) + '\n';
  }
  return out;
}

int runCheck(const CheckOptions& o) {
  auto store = std::make_unique<Store>();
  Store& s = *store;
  WarningPrinter warnings{o.quiet};
  try {
    InputFile in(o.input);
    DataFile file(in.stream());
    file.observe(
        [](const Record& r, const char* expecting) { std::cout << listRecord(r, expecting); });
    readEfficiencyBlock(file, s);
    buildLogTable(s);
    std::vector<Warning> table;
    checkEfficiencyTable(s, table);
    warnings.print(table);
    const TableEfficiency efficiency(s);
    const ClassicModel classic;
    ClassicWork work(s);
    for (;;) {
      readHeader(file, s);
      if (isEndMarker(s.DSNAME)) {
        if (const int32_t record = file.firstNonBlankRecord(); record != 0)
          warnings.print({trailingRecords(record)});
        break;
      }
      DataSetResult ds;
      takeHeader(s, ds);
      std::vector<Warning>& found = ds.warnings;
      checkHeader(s, found);
      RecordsOnDemand records(file, s.headerRecord);
      try {
        // Up to the transition stage, which stops on values it cannot work
        // with, as in a run; its rows are not shown.
        computeDataSet(classic, work, records, efficiency, ds, {nullptr, true, Stage::transitions});
      } catch (const RunStop&) {
        sortByRecord(found);
        warnings.print(found);
        throw;
      }
      sortByRecord(found);
      warnings.print(found);
    }
  } catch (const RunStop& stopped) {
    std::cout.flush();
    std::cerr << formatDiagnostic(stopped.diagnostic(), o.input) << '\n';
    return kExitRunStopped;
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "cannot write the listing to standard output\n";
    return kExitRunStopped;
  }
  return (o.strict && warnings.count > 0) ? kExitWarned : 0;
}

}  // namespace tcsum
