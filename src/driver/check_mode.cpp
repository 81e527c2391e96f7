#include "driver/check_mode.hpp"

#include <charconv>
#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

#include "check/warnings.hpp"
#include "core/fatal.hpp"
#include "efficiency/eps.hpp"
#include "efficiency/table_efficiency.hpp"
#include "input/input_file.hpp"
#include "input/reader.hpp"
#include "model/classic.hpp"
#include "model/model.hpp"

namespace tcsum {

namespace {

enum class Kind { real, integer, text };

struct Column {
  const Field& field;
  Kind kind;
  const char* unit;
};

// The fields of each record kind, keyed by what the reader expects.
struct RecordKind {
  std::string_view expecting;
  std::vector<Column> columns;
};

const std::vector<RecordKind>& recordKinds() {
  using namespace layout;
  static const std::vector<RecordKind> kinds = {
      {"the first record of the efficiency block",
       {{kEffEnergy, Kind::real, "keV"},
        {kEffTotal, Kind::real, "per mille"},
        {kEffPeak, Kind::real, "per mille"},
        {kDetectorDigit1, Kind::integer, ""},
        {kDetectorDigit2, Kind::integer, ""},
        {kDetectorText, Kind::text, ""}}},
      {"an efficiency record",
       {{kEffEnergy, Kind::real, "keV"},
        {kEffTotal, Kind::real, "per mille"},
        {kEffPeak, Kind::real, "per mille"},
        {kContinuation, Kind::integer, ""}}},
      {"a data-set header",
       {{kName, Kind::text, ""},
        {kDecayMode, Kind::text, ""},
        {kXrayEnergy, Kind::real, "keV"},
        {kOmegaK, Kind::real, ""}}},
      {"a level record",
       {{kLevelEnergy, Kind::real, "keV"},
        {kFeeding, Kind::real, "%"},
        {kCaptureFraction, Kind::real, ""}}},
      {"a transition record",
       {{kUpperLevel, Kind::integer, ""},
        {kLowerLevel, Kind::integer, ""},
        {kGammaEnergy, Kind::real, "keV"},
        {kIntensity, Kind::real, "%"},
        {kAlpha, Kind::real, ""},
        {kAlphaK, Kind::real, ""}}},
  };
  return kinds;
}

void pad(std::string& line, std::size_t width) {
  if (line.size() < width) line.append(width - line.size(), ' ');
}

std::string fieldLine(const Record& r, const Column& c) {
  const std::string_view text = r.columns(c.field.first, c.field.last);
  std::string columns = std::to_string(c.field.first);
  if (c.field.last != c.field.first) columns += "-" + std::to_string(c.field.last);
  std::string line = "  ";
  line.append(columns.size() < 5 ? 5 - columns.size() : 0, ' ');
  line += columns + "  " + c.field.name;
  pad(line, 46);
  line += quoted(text);
  if (c.kind == Kind::text) return line;
  pad(line, 60);
  line += " = ";
  if (c.kind == Kind::real) {
    float value = 0.0f;
    if (!convertReal(text, value)) return line + "(not a number)";
    char buffer[32];
    line.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
  } else {
    int32_t value = 0;
    if (!convertInteger(text, value)) return line + "(not an integer)";
    line += std::to_string(value);
  }
  if (*c.unit != '\0') line += std::string(" ") + c.unit;
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
  for (const RecordKind& k : recordKinds()) {
    if (k.expecting != expecting) continue;
    for (const Column& c : k.columns)
      out += fieldLine(record, c) + '\n';
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
