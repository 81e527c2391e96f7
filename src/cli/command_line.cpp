#include "cli/command_line.hpp"

#include <CLI/CLI.hpp>

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
  app.add_option("-j,--jobs", o.jobs,
                 "Compute N data sets at once (default: one per core); the outputs are the "
                 "same for every N")
      ->type_name("N")
      ->check(CLI::Range(1, 256));

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
  return o;
}

}  // namespace tcsum
