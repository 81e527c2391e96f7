#include "cli/command_line.hpp"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <thread>
#include <vector>

#include "core/destination.hpp"

namespace tcsum {

namespace {

constexpr const char* kFooter =
    R"(Without arguments, tcsum reads the data file TALVEN in the working directory
and creates the report result.out beside it (German, CR LF line ends, code
page 437), exactly as it always has. An existing report is never touched
unless --force is given.

Examples:
  tcsum                                  TALVEN -> result.out
  tcsum -i co60.dat -o co60.out          other file names
  tcsum -i co60.dat --no-report --json -  results as JSON on standard output
  tcsum -i co60.dat --csv factors.csv    report and a CSV table of the factors
  tcsum -i co60.dat --html co60.html    report and a page of charts for a browser
  tcsum --force                          replace result.out, only if the run succeeds
  tcsum --check -i co60.dat              every field as read, and the warnings
  tcsum --u-total 10 --u-peak 3          factors and their uncertainties
  tcsum factors --help                   the complete model, from ENSDF files to factors

Warnings ("warning: data set ..., record N: ...") go to standard error: data
the run computes anyway but that should be checked. They change neither the
report nor the exit status, unless --strict is given.

Exit status:
  0  the run ended normally
  1  the run stopped at a fault (one diagnostic line on standard error; the
     report keeps everything written before it), or an output could not be
     written
  2  the command line could not be understood (nothing was created)
  3  with --strict: the run (or check) was complete but warned)";

constexpr const char* kEnsdfFooter =
    R"(Reads ENSDF files as distributed by the nuclear data centres (one file per
mass number) and writes data sets that tcsum runs. Warnings ("warning: ...")
and refusals ("refused: ...") go to standard error, one line each, naming the
file, line and data set.

Examples:
  tcsum ensdf --list ensdf.060
  tcsum ensdf --nuclide Co-60 --efficiency detector.csv --detector 14 \
        --detector-text "N-COAX 40%" -o co60.dat ensdf.060
  tcsum -i co60.dat --json co60.json

Exit status: 0 when at least one data set was written (or listed), 1 when
none was or a file could not be read or written, 2 for a usage error.)";

// A file name given as "" names no file (an unset shell variable, say).
const CLI::Validator kNamesAFile(
    [](std::string& text) -> std::string { return text.empty() ? "empty file name" : ""; }, "");

// Data-set names are written into the data file, code page 437: plain ASCII
// keeps them the same in every output.
const CLI::Validator kPlainText(
    [](std::string& text) -> std::string {
      for (char c : text) {
        if (c < ' ' || c > '~') return "only printable ASCII characters, please";
      }
      return "";
    },
    "");

// Two outputs on one file, or an output on the data file, would overwrite
// each other; a device or pipe (/dev/null) may take several.
// A file that does not exist yet is told by its folder and its name in it,
// so that "r.out", "./r.out" and an absolute spelling are one file.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;  // in the folder DEVICE, INODE; empty for an existing file
  bool known = false;
  bool operator==(const FileIdentity&) const = default;
};

FileIdentity identityOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return {st.st_dev, st.st_ino, {}, true};
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string(".")
                             : slash == 0               ? std::string("/")
                                                        : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == ".." || ::stat(folder.c_str(), &st) != 0) return {};
  return {st.st_dev, st.st_ino, name, true};
}

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  const FileIdentity ia = identityOf(a);
  return ia.known && ia == identityOf(b);
}

std::string clashingOutput(const ProgramOptions& o) {
  std::vector<const std::string*> outputs;
  if (!o.noReport) outputs.push_back(&o.report);
  for (const std::string* path : {&o.json, &o.csv, &o.html})
    outputs.push_back(path);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const std::string& a = *outputs[i];
    if (a.empty() || a == "-" || destinationOf(a).kind == Destination::Kind::stream) continue;
    if (sameFile(a, o.input)) return a + ": the data file is named as an output";
    for (std::size_t j = i + 1; j < outputs.size(); ++j) {
      if (!outputs[j]->empty() && sameFile(a, *outputs[j])) return a + ": named for two outputs";
    }
  }
  return {};
}

// The options of the uncertainty propagation as parsed.
struct UncertaintyOptionValues {
  float uTotal = 0.0f;
  float uPeak = 0.0f;
  std::string correlation = "full";
  int64_t samples = kDefaultSamples;
  uint64_t seed = kDefaultSeed;
  CLI::Option* total = nullptr;
  CLI::Option* peak = nullptr;
  std::vector<CLI::Option*> needingOne;  // of total and peak
};

void addUncertaintyOptions(CLI::App& app, UncertaintyOptionValues& v) {
  // A number option given as "" would read as 0.
  const CLI::Validator given(
      [](std::string& text) -> std::string { return text.empty() ? "empty value" : ""; }, "");
  // NaN and infinity are refused; what is no number at all is left to the
  // conversion to refuse.
  const CLI::Validator percent(
      [](std::string& text) -> std::string {
        float value = 0.0f;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        const bool number = end == text.data() + text.size();
        if (number && error == std::errc::result_out_of_range)
          return "Value " + text + " not in 0 ... 100";
        if (error != std::errc() || !number) return "";
        return value >= 0.0f && value <= 100.0f ? "" : "Value " + text + " not in 0 ... 100";
      },
      "");
  v.total = app.add_option("--u-total", v.uTotal,
                           "Relative standard uncertainty of the total efficiencies, percent "
                           "(0 ... 100)")
                ->type_name("PERCENT")
                ->check(given)
                ->check(percent);
  v.peak = app.add_option("--u-peak", v.uPeak,
                          "Relative standard uncertainty of the full-energy-peak efficiencies, "
                          "percent (0 ... 100)")
               ->type_name("PERCENT")
               ->check(given)
               ->check(percent);
  v.needingOne = {
      app.add_option("--u-correlation", v.correlation,
                     "full: each efficiency curve off by one common factor (default); none: "
                     "each table point on its own")
          ->type_name("full|none")
          ->check(CLI::IsMember({"full", "none"})),
      app.add_option("--samples", v.samples,
                     "Monte Carlo samples of the uncertainty (default 10000, at most 200000)")
          ->type_name("N")
          ->check(CLI::Range(int64_t{2}, int64_t{200000})),
      app.add_option("--seed", v.seed,
                     "Seed of the samples (default " + std::to_string(kDefaultSeed) +
                         "); the same seed gives the same numbers")
          ->type_name("S")
          ->check(given)
          ->check(CLI::Range(uint64_t{0}, (uint64_t{1} << 53) - 1))};
}

// Sets the uncertainty settings of O when --u-total or --u-peak is given;
// false, after a line on ERR, when an option of the propagation is given
// without either.
bool takeUncertainty(const UncertaintyOptionValues& v, ProgramOptions& o, std::ostream& err) {
  if (v.total->count() + v.peak->count() > 0) {
    o.uncertainty = UncertaintySettings{
        v.uTotal, v.uPeak,
        v.correlation == "none" ? EfficiencyCorrelation::none : EfficiencyCorrelation::full,
        v.samples, v.seed};
    return true;
  }
  for (const CLI::Option* option : v.needingOne) {
    if (option->count() > 0) {
      err << "tcsum: " << option->get_name()
          << ": needs --u-total or --u-peak (see tcsum --help)\n";
      return false;
    }
  }
  return true;
}

}  // namespace

std::string_view emptyValueOption(int argc, const char* const* argv) {
  for (int k = 1; k < argc; ++k) {
    const std::string_view word = argv[k];
    if (word == "--") break;
    if (word.starts_with("--") && word.size() > 3 && word.find('=') == word.size() - 1)
      return word.substr(0, word.size() - 1);
  }
  return {};
}

const char* programVersion() {
  return TCSUM_VERSION;
}

Command parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  ProgramOptions o;
  EnsdfRequest e;
  CLI::App app(
      "tcsum: true-coincidence summing corrections of the gamma and K x-ray lines of a "
      "radionuclide measured with one detector.",
      "tcsum");
  app.set_version_flag("--version", std::string("tcsum ") + programVersion(),
                       "Print the program name and version and exit");
  app.footer(kFooter);
  app.get_formatter()->column_width(28);

  app.add_option("-i,--input", o.input, "Data file to read (default TALVEN)")
      ->type_name("FILE")
      ->check(kNamesAFile);
  auto* report = app.add_option("-o,--report", o.report,
                                "Report file to create (default result.out; - = standard output)")
                     ->type_name("FILE")
                     ->check(kNamesAFile);
  app.add_flag("--no-report", o.noReport, "Write no report")->excludes(report);
  app.add_flag("--force", o.force,
               "Replace existing outputs, each only once the run has ended normally");
  auto* json =
      app.add_option("--json", o.json, "Write the results as JSON to FILE (- = standard output)")
          ->type_name("FILE")
          ->check(kNamesAFile);
  auto* csv =
      app.add_option("--csv", o.csv, "Write the result lines as CSV to FILE (- = standard output)")
          ->type_name("FILE")
          ->check(kNamesAFile);
  app.add_flag("-q,--quiet", o.quiet, "Print no warnings and no table of uncertainties");
  app.add_flag("--strict", o.strict,
               "End with exit status 3 when the run warned (once its outputs are complete)");
  auto* check = app.add_flag("--check", o.check,
               "Read the whole data file and list every field as read, with the warnings; "
               "compute nothing and write no report")
      ->excludes(report)
      ->excludes(json)
      ->excludes(csv);

  CLI::App* ensdf = app.add_subcommand(
      "ensdf", "Convert ENSDF decay data sets into data sets for tcsum (see tcsum ensdf --help)");
  ensdf->footer(kEnsdfFooter);
  ensdf->add_option("FILE", e.options.files, "ENSDF files (one per mass number, or cut-outs)")
      ->required()
      ->type_name("FILE");
  ensdf->add_flag("--list", e.options.list,
                  "List every decay data set found, and whether it converts (and if not, why)");
  ensdf
      ->add_option("--nuclide", e.options.nuclide,
                   "The parent's decay data sets, one per branch (CO60, Co-60, 60CO, HO166M)")
      ->type_name("NAME")
      ->check([](const std::string& v) {
        // An empty name would select nothing and so convert everything.
        return v.empty() ? std::string("an empty nuclide name selects nothing") : std::string();
      });
  ensdf->add_option("--dataset", e.options.dataset, "The one data set with exactly this DSID")
      ->type_name("DSID");
  ensdf
      ->add_option("--efficiency", e.options.efficiency,
                   "A data file whose efficiency block is copied, or a CSV file whose heading "
                   "names energy_keV, total and peak (fractions, at least 3 rows); the output is "
                   "then a complete data file")
      ->type_name("FILE")
      ->check(kNamesAFile);
  ensdf->add_option("--detector", e.options.detector, "Detector number of the block (0-99)")
      ->type_name("NN")
      ->check(CLI::Range(0, 99))
      ->each([&e](const std::string&) { e.options.detectorGiven = true; });
  ensdf
      ->add_option("--detector-text", e.options.detectorText,
                   "Detector text of the block (32 characters)")
      ->type_name("TEXT");
  ensdf->add_option("-o,--output", e.options.output, "Output file (default - = standard output)")
      ->type_name("FILE")
      ->check(kNamesAFile);
  ensdf
      ->add_option("--name", e.options.name,
                   "Data-set name, at most 8 characters (default from "
                   "the parent, like CO-60)")
      ->type_name("NAME")
      ->check(kPlainText);
  ensdf
      ->add_option("--isomer-threshold", e.options.isomerThreshold,
                   "A level living at least this long breaks the prompt cascade (default 1 us)")
      ->type_name("TIME");
  ensdf->add_flag("--force", e.force, "Replace an existing output file");

  UncertaintyOptionValues uncertainty;
  addUncertaintyOptions(app, uncertainty);
  auto* html = app.add_option("--html", o.html,
                              "Write the results with their charts as one HTML page to FILE (- = "
                              "standard output)")
                   ->type_name("FILE")
                   ->check(kNamesAFile);
  // A check computes nothing and writes nothing but its listing.
  for (CLI::Option* output : {html, uncertainty.total, uncertainty.peak})
    check->excludes(output);
  app.add_option("-j,--jobs", o.jobs,
                 "Compute on N threads: data sets at once, or the samples of an uncertainty run "
                 "(default: one per core); the outputs are the same for every N")
      ->type_name("N")
      ->check(CLI::Range(1, 256));

  if (const std::string_view option = emptyValueOption(argc, argv); !option.empty()) {
    err << "tcsum: " << escapedControls(option) << ": " << kEmptyValue << " (see tcsum --help)\n";
    return kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& failure) {
    if (failure.get_exit_code() == 0) {  // --help or --version
      app.exit(failure, out, err);
      return 0;
    }
    err << "tcsum: " << escapedControls(failure.what()) << " (see tcsum "
        << (ensdf->parsed() ? "ensdf " : "") << "--help)\n";
    return kExitUsage;
  }
  if (ensdf->parsed()) {
    // The options of a run mean nothing to the converter.
    for (const CLI::Option* option : app.get_options()) {
      if (option->count() > 0) {
        err << "tcsum: " << option->get_name()
            << ": an option of a run, not of tcsum ensdf (see tcsum ensdf --help)\n";
        return kExitUsage;
      }
    }
    return e;
  }

  int onStandardOutput = 0;
  for (const std::string* path : {&o.json, &o.csv, &o.html})
    onStandardOutput += (*path == "-");
  if (!o.noReport && o.report == "-") ++onStandardOutput;
  if (onStandardOutput > 1) {
    err << "tcsum: -: at most one output may go to standard output (see tcsum --help)\n";
    return kExitUsage;
  }
  if (o.input.empty() || (!o.noReport && o.report.empty())) {
    err << "tcsum: an empty file name names no file (see tcsum --help)\n";
    return kExitUsage;
  }
  if (const std::string clash = clashingOutput(o); !clash.empty()) {
    err << "tcsum: " << escapedControls(clash) << " (see tcsum --help)\n";
    return kExitUsage;
  }
  if (!takeUncertainty(uncertainty, o, err)) return kExitUsage;
  return o;
}

}  // namespace tcsum
