#include "driver/program.hpp"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "driver/check_mode.hpp"
#include "check/warnings.hpp"
#include "core/fatal.hpp"
#include "input/input_file.hpp"
#include "driver/run.hpp"
#include "driver/efficiency_command.hpp"
#include "html/page.hpp"
#include "outputs/csv_writer.hpp"
#include "outputs/digest.hpp"
#include "outputs/json_writer.hpp"
#include "outputs/text.hpp"
#include "outputs/uncertainty_table.hpp"
#include "uncertainty/propagation.hpp"

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
  std::optional<OutputFile> htmlFile;
  std::optional<html::HtmlPage> html;
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
    guarded(htmlFile, [&] { html->detector(d); });
  }
  // Each writer's text of a data set, made ahead on the thread that computed
  // it. Only the writers are read here, never the files, which the thread
  // that delivers may drop meanwhile.
  enum Text : std::size_t { jsonText, csvText, htmlText, textCount };
  void prepare(const DataSetResult& ds, PreparedTexts& texts) const {
    texts.resize(textCount);
    if (json) JsonWriter::format(ds, texts[jsonText]);
    if (csv) csv->format(ds, texts[csvText]);
    if (html) html->format(ds, texts[htmlText]);
  }
  void dataSet(const DataSetResult& ds, const PreparedTexts& texts) {
    auto text = [&texts](Text t) -> std::string_view {
      return texts.size() == textCount ? std::string_view(texts[t]) : std::string_view();
    };
    guarded(jsonFile, [&] { json->dataSet(ds, text(jsonText)); });
    guarded(csvFile, [&] { csv->dataSet(ds, text(csvText)); });
    guarded(htmlFile, [&] { html->dataSet(ds, text(htmlText)); });
  }
  // Closes the outputs. After a stop the JSON and the page say so and go
  // only where no file is in the way; the CSV, which cannot say so, is not
  // written at all.
  void finish(const std::optional<std::string>& stop, const std::vector<Warning>& after) {
    const bool ended = !stop.has_value();
    guarded(jsonFile, [&] {
      json->end(stop, after);
      jsonFile->commit(ended);
    });
    if (ended) guarded(csvFile, [&] { csvFile->commit(); });
    guarded(htmlFile, [&] {
      html->end(stop, after);
      htmlFile->commit(ended);
    });
  }
};

// The data sets computed at once: as asked, else one per processor core.
int32_t jobsOf(const ProgramOptions& o) {
  if (o.jobs > 0) return o.jobs;
  return std::max(1, static_cast<int32_t>(std::thread::hardware_concurrency()));
}

}  // namespace

int runProgram(const ProgramOptions& o) {
  if (o.check) return runCheck({o.input, o.quiet, o.strict});

  // The outputs other than the report are set up before anything is read,
  // so an output in the way costs no computing.
  DataOutputs data;
  // The outputs that name the input share one reading of its digest.
  std::optional<RunInfo> info;
  auto runInfo = [&]() -> const RunInfo& {
    if (!info) info = RunInfo{"tcsum", programVersion(), o.input, sha256OfFile(o.input)};
    return *info;
  };
  try {
    if (!o.json.empty()) {
      data.jsonFile.emplace(o.json, "JSON output", o.force);
      data.json.emplace(*data.jsonFile, runInfo());
    }
    if (!o.csv.empty()) {
      data.csvFile.emplace(o.csv, "CSV output", o.force);
      data.csv.emplace(*data.csvFile, o.uncertainty.has_value());
    }
    if (!o.html.empty()) {
      data.htmlFile.emplace(o.html, "HTML output", o.force);
      data.html.emplace(*data.htmlFile, runInfo());
    }
  } catch (const OutputError& e) {
    std::cerr << escapedControls(e.what()) << '\n';
    return kExitRunStopped;
  }

  // The store is large (some 100 KB); it lives on the heap for the run.
  auto store = std::make_unique<Store>();
  std::optional<Report> report;
  if (!o.noReport)
    report.emplace(o.report, o.force ? Report::Existing::replace : Report::Existing::refuse);

  RunOutputs outputs;
  outputs.report = report ? &*report : nullptr;
  // Warnings are printed as each part of the run is handed to the outputs,
  // so they come in the order of the data file.
  WarningPrinter warnings{o.quiet};
  if (o.uncertainty && o.uncertainty->samples < kMeaningfulSamples) {
    warnings.printLine("warning: --samples " + std::to_string(o.uncertainty->samples) + ": below " +
                       std::to_string(kMeaningfulSamples) +
                       " samples the 95 % interval of the factors is not meaningful (the mean and "
                       "standard deviation are rough); use at least " +
                       std::to_string(kMeaningfulSamples) + ", better the default " +
                       std::to_string(kDefaultSamples));
  }
  outputs.detector = [&](const DetectorResult& d) {
    warnings.print(d.warnings);
    data.detector(d);
  };
  // The table of factors and uncertainties goes to standard output unless it
  // is quiet or an output goes there.
  const bool uncertaintyTableShown = o.uncertainty && !o.quiet && o.json != "-" && o.csv != "-" &&
                                     o.html != "-" && (o.noReport || o.report != "-");
  if (data.json || data.csv || data.html) {
    outputs.prepare = [&data](const DataSetResult& ds, PreparedTexts& texts) {
      data.prepare(ds, texts);
    };
  }
  outputs.dataSet = [&](const DataSetResult& ds, const PreparedTexts& texts) {
    warnings.print(ds.warnings);
    if (uncertaintyTableShown && ds.reached == Stage::complete)
      std::cout << uncertaintyTable(ds) << std::flush;
    data.dataSet(ds, texts);
  };
  std::vector<Warning> afterEndMarker;
  outputs.finished = [&](const std::vector<Warning>& after) {
    warnings.print(after);
    afterEndMarker = after;
  };
  if (o.uncertainty) {
    outputs.analyse = [&o](const Store& asRead, DataSetResult& ds) {
      const std::string name = utf8FromCodePage437(trimmedName(ds.DSNAME));
      ProgressLine progress(std::cerr, ::isatty(STDERR_FILENO) == 1,
                            "tcsum: uncertainty of " + escapedControls(name));
      propagateEfficiencyUncertainty(
          asRead, ds, {*o.uncertainty, static_cast<unsigned>(jobsOf(o)), std::ref(progress)});
    };
  }
  outputs.efficiencyCurve = data.html.has_value();

  auto fileOfUnit = [&o](int32_t unit) -> std::string {
    if (unit == kDataUnit) return o.input;
    if (unit == kReportUnit) return displayName(o.report);
    return {};
  };

  std::optional<std::string> stop;  // the diagnostic that stopped the run
  try {
    try {
      InputFile in(o.input);
      // An uncertainty run spreads the samples of each data set over the
      // cores instead of the data sets.
      run(*store, in.stream(), outputs, localDate, {}, o.uncertainty ? 1 : jobsOf(o));
      if (report) report->close();
    } catch (const RunStop& stopped) {
      stop = formatDiagnostic(stopped.diagnostic(), fileOfUnit(stopped.diagnostic().unit));
      try {
        if (report) report->close(false);
      } catch (const RunStop& second) {
        // Closing the report failed too: said on the same line, unless it
        // is the same fault again.
        const std::string also =
            formatDiagnostic(second.diagnostic(), fileOfUnit(second.diagnostic().unit));
        if (also != *stop) *stop += "; then " + also;
      }
      std::cerr << *stop << '\n';
    }
  } catch (const std::exception& failure) {
    // Anything else (such as running out of memory) is said in one line too,
    // and the records written so far go to disk.
    std::cerr << escapedControls(std::string("run stopped: ") + failure.what()) << '\n';
    if (report) {
      try {
        report->close(false);
      } catch (const RunStop&) {
      }
    }
    return kExitRunStopped;
  }

  data.finish(stop, afterEndMarker);
  if (uncertaintyTableShown && !std::cout)
    data.failures.push_back("cannot write the table of uncertainties to standard output");
  for (const std::string& failure : data.failures)
    std::cerr << escapedControls(failure) << '\n';
  if (stop || !data.failures.empty()) return kExitRunStopped;
  return (o.strict && warnings.count > 0) ? kExitWarned : 0;
}

int runEnsdf(const EnsdfRequest& request) {
  if (request.options.output == "-") return ensdf::run(request.options, std::cout, std::cerr);
  try {
    // Refuse an existing file before converting anything.
    OutputFile file(request.options.output, "converted data file", request.force);
    ensdf::Options toText = request.options;
    toText.output = std::string(1, '-');  // the text comes back in TEXT
    std::ostringstream text;
    const int status = ensdf::run(toText, text, std::cerr);
    if (status != 0) return status;
    file.write(text.view());
    file.commit();
    return 0;
  } catch (const OutputError& e) {
    std::cerr << escapedControls(e.what()) << '\n';
    return kExitRunStopped;
  }
}

namespace {

int dispatch(int argc, char** argv) {
  const std::string_view subcommand = argc > 1 ? argv[1] : "";
  if (subcommand == "factors" || subcommand == "efficiency") {
    if (const std::string_view option = emptyValueOption(argc - 1, argv + 1); !option.empty()) {
      std::cerr << "tcsum " << argv[1] << ": " << escapedControls(option) << ": " << kEmptyValue
                << " (see tcsum " << argv[1] << " --help)\n";
      return kExitUsage;
    }
  }
  if (subcommand == "factors") return runFactorsCommand(argc - 1, argv + 1);
  if (subcommand == "efficiency")
    return geometry::runEfficiency(argc - 1, argv + 1, std::cout, std::cerr);
  const Command command = parseCommandLine(argc, argv, std::cout, std::cerr);
  if (const int* status = std::get_if<int>(&command)) return *status;
  if (const auto* request = std::get_if<EnsdfRequest>(&command)) return runEnsdf(*request);
  return runProgram(std::get<ProgramOptions>(command));
}

}  // namespace

int main(int argc, char** argv) {
  const int status = dispatch(argc, argv);
  // Whatever went to standard output without a check of its own (--help,
  // --version): a run that could not write it did not end normally.
  if (status == 0 || status == kExitWarned) {
    std::cout.flush();
    if (!std::cout) {
      std::cerr << "tcsum: cannot write to standard output\n";
      return kExitRunStopped;
    }
  }
  return status;
}

}  // namespace tcsum
