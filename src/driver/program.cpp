#include "driver/program.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "core/fatal.hpp"
#include "driver/run.hpp"
#include "outputs/csv_writer.hpp"
#include "outputs/digest.hpp"
#include "outputs/json_writer.hpp"

namespace tcsum {

namespace {

// The name a diagnostic gives a file.
std::string displayName(const std::string& path) {
  return path == "-" ? "standard output" : path;
}

// The outputs besides the report. An output that fails is dropped with its
// diagnostic kept for the end, so the run and its report go on.
struct DataOutputs {
  std::optional<OutputFile> jsonFile;
  std::optional<OutputFile> csvFile;
  std::optional<JsonWriter> json;
  std::optional<CsvWriter> csv;
  std::vector<std::string> failures;

  template <typename Write>
  void guarded(std::optional<OutputFile>& file, Write write) {
    if (!file) return;
    try {
      write();
    } catch (const OutputError& e) {
      failures.push_back(e.what());
      file.reset();
    }
  }
  void detector(const DetectorResult& d) {
    guarded(jsonFile, [&] { json->detector(d); });
  }
  void dataSet(const DataSetResult& ds) {
    guarded(jsonFile, [&] { json->dataSet(ds); });
    guarded(csvFile, [&] { csv->dataSet(ds); });
  }
  void finish(const std::optional<std::string>& stop) {
    guarded(jsonFile, [&] {
      json->end(stop);
      jsonFile->commit();
    });
    guarded(csvFile, [&] { csvFile->commit(); });
  }
};

// The data sets computed at once: as asked, else one per processor core.
int32_t jobsOf(const ProgramOptions& o) {
  if (o.jobs > 0) return o.jobs;
  return std::max(1, static_cast<int32_t>(std::thread::hardware_concurrency()));
}

}  // namespace

int runProgram(const ProgramOptions& o) {
  // The outputs other than the report are set up before anything is read,
  // so an output in the way costs no computing.
  DataOutputs data;
  try {
    if (!o.json.empty()) {
      data.jsonFile.emplace(o.json, "JSON output", o.force);
      data.json.emplace(*data.jsonFile,
                        RunInfo{"tcsum", programVersion(), o.input, sha256OfFile(o.input)});
    }
    if (!o.csv.empty()) {
      data.csvFile.emplace(o.csv, "CSV output", o.force);
      data.csv.emplace(*data.csvFile);
    }
  } catch (const OutputError& e) {
    std::cerr << e.what() << '\n';
    return kExitRunStopped;
  }

  // The store is large (some 100 KB); it lives on the heap for the run.
  auto store = std::make_unique<Store>();
  std::optional<Report> report;
  if (!o.noReport)
    report.emplace(o.report, o.force ? Report::Existing::replace : Report::Existing::refuse);

  RunOutputs outputs;
  outputs.report = report ? &*report : nullptr;
  outputs.detector = [&data](const DetectorResult& d) { data.detector(d); };
  outputs.dataSet = [&data](const DataSetResult& ds) { data.dataSet(ds); };

  auto fileOfUnit = [&o](int32_t unit) -> std::string {
    if (unit == kDataUnit) return o.input;
    if (unit == kReportUnit) return displayName(o.report);
    return {};
  };

  std::optional<std::string> stop;  // the diagnostic that stopped the run
  try {
    try {
      // A missing data file is created empty; the first read then finds its end.
      const int fd = ::open(o.input.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
      const int error = (fd < 0) ? errno : 0;
      if (fd >= 0) ::close(fd);
      std::ifstream in(o.input, std::ios::binary);
      if (fd < 0 || !in) {
        fatal({"cannot open data file", kDataUnit, error != 0 ? std::strerror(error) : ""});
      }
      run(*store, in, outputs, localDate, {}, jobsOf(o));
      if (report) report->close();
    } catch (const RunStop& stopped) {
      stop = formatDiagnostic(stopped.diagnostic(), fileOfUnit(stopped.diagnostic().unit));
      std::cerr << *stop << '\n';
      if (report) report->close(false);
    }
  } catch (const RunStop& second) {
    // Closing the report after a stop failed too.
    std::cerr << formatDiagnostic(second.diagnostic(), fileOfUnit(second.diagnostic().unit))
              << '\n';
  } catch (const std::exception& failure) {
    // Anything else (such as running out of memory) is said in one line too,
    // and the records written so far go to disk.
    std::cerr << "run stopped: " << failure.what() << '\n';
    if (report) {
      try {
        report->close(false);
      } catch (const RunStop&) {
      }
    }
    return kExitRunStopped;
  }

  data.finish(stop);
  for (const std::string& failure : data.failures)
    std::cerr << failure << '\n';
  return (stop || !data.failures.empty()) ? kExitRunStopped : 0;
}

int main(int argc, char** argv) {
  auto parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  return runProgram(std::get<ProgramOptions>(parsed));
}

}  // namespace tcsum
