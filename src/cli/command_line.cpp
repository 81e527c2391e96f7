#include "cli/command_line.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <thread>

#include "uncertainty/propagation.hpp"

namespace tcsum {

namespace {

constexpr const char* kFooter = R"(Without arguments, tcsum reads the data file TALVEN in the working directory
and creates the report result.out beside it (German, CR LF line ends, code
page 437), exactly as it always has. An existing report is never touched
unless --force is given.

Examples:
  tcsum                                  TALVEN -> result.out
  tcsum -i co60.dat -o co60.out          other file names
  tcsum -i co60.dat --no-report --json -  results as JSON on standard output
  tcsum -i co60.dat --csv factors.csv    report and a CSV table of the factors
  tcsum --force                          replace result.out, only if the run succeeds
  tcsum --u-total 10 --u-peak 3          factors with uncertainties (table on standard output)

Exit status:
  0  the run ended normally
  1  the run stopped at a fault (one diagnostic line on standard error; the
     report keeps everything written before it), or an output could not be
     written
  2  the command line could not be understood (nothing was created))";

}  // namespace

const char* programVersion() {
  return TCSUM_VERSION;
}

std::variant<ProgramOptions, int> parseCommandLine(int argc, const char* const* argv,
                                                   std::ostream& out, std::ostream& err) {
  ProgramOptions o;
  CLI::App app("tcsum: true-coincidence summing corrections of the gamma and K x-ray lines of a "
               "radionuclide measured with one detector.",
               "tcsum");
  app.set_version_flag("--version", std::string("tcsum ") + programVersion(),
                       "Print the program name and version and exit");
  app.footer(kFooter);
  app.get_formatter()->column_width(28);

  app.add_option("-i,--input", o.input, "Data file to read (default TALVEN)")->type_name("FILE");
  auto* report = app.add_option("-o,--report", o.report,
                                "Report file to create (default result.out; - = standard output)")
                     ->type_name("FILE");
  app.add_flag("--no-report", o.noReport, "Write no report")->excludes(report);
  app.add_flag("--force", o.force,
               "Replace existing outputs, each only once the run has ended normally");
  app.add_option("--json", o.json, "Write the results as JSON to FILE (- = standard output)")
      ->type_name("FILE");
  app.add_option("--csv", o.csv, "Write the result lines as CSV to FILE (- = standard output)")
      ->type_name("FILE");

  float uTotal = 0.0f;
  float uPeak = 0.0f;
  std::string correlation = "full";
  int64_t samples = kDefaultSamples;
  uint64_t seed = kDefaultSeed;
  o.jobs = std::max(1u, std::thread::hardware_concurrency());
  // A number option given as "" would read as 0.
  const CLI::Validator given(
      [](std::string& text) -> std::string { return text.empty() ? "empty value" : ""; },
      "");
  const CLI::Validator percent(
      [](std::string& text) -> std::string {
        // What is not a number at all is left to the conversion to refuse.
        if (text.empty()) return "empty value";
        float value = 0.0f;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size()) return "";
        return value >= 0.0f && value <= 100.0f ? "" : "Value " + text + " not in 0 ... 100";
      },
      "");
  auto* total = app.add_option("--u-total", uTotal,
                               "Relative standard uncertainty of the total efficiencies, percent (0 ... 100)")
                    ->type_name("PERCENT")
                    ->check(percent);
  auto* peak = app.add_option("--u-peak", uPeak,
                              "Relative standard uncertainty of the full-energy-peak efficiencies, "
                              "percent (0 ... 100)")
                   ->type_name("PERCENT")
                   ->check(percent);
  const std::pair<const char*, CLI::Option*> needUncertainty[] = {
      {"--u-correlation",
       app.add_option("--u-correlation", correlation,
                      "full: each efficiency curve off by one common factor (default); none: "
                      "each table point on its own")
           ->type_name("full|none")
           ->check(CLI::IsMember({"full", "none"}))},
      {"--samples", app.add_option("--samples", samples,
                                   "Monte Carlo samples of the uncertainty (default 10000)")
                        ->type_name("N")
                        ->check(CLI::Range(int64_t{2}, int64_t{1000000}))},
      {"--seed", app.add_option("--seed", seed,
                                "Seed of the samples (default " + std::to_string(kDefaultSeed) +
                                    "); the same seed gives the same numbers")
                     ->type_name("S")
                     ->check(given)
                     ->check(CLI::Range(uint64_t{0}, (uint64_t{1} << 53) - 1))}};
  app.add_option("--jobs", o.jobs, "Threads to compute on (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1024u));
  app.add_flag("-q,--quiet", o.quiet, "Write nothing to standard output but an output sent there");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) {  // --help or --version
      app.exit(e, out, err);
      return 0;
    }
    err << "tcsum: " << e.what() << " (see tcsum --help)\n";
    return kExitUsage;
  }

  int onStandardOutput = 0;
  for (const std::string* path : {&o.json, &o.csv})
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
  if (total->count() + peak->count() > 0) {
    o.uncertainty = UncertaintySettings{
        uTotal, uPeak,
        correlation == "none" ? EfficiencyCorrelation::none : EfficiencyCorrelation::full,
        samples, seed};
  } else {
    for (const auto& [name, option] : needUncertainty) {
      if (option->count() > 0) {
        err << "tcsum: " << name << ": needs --u-total or --u-peak (see tcsum --help)\n";
        return kExitUsage;
      }
    }
  }
  return o;
}

}  // namespace tcsum
