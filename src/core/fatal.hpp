#pragma once
// The one path by which a run stops early: every run-stopping fault (input
// that cannot be read, a report that cannot be created, an index beyond the
// data store) ends up in fatal(), which throws RunStop. The driver catches
// it, leaves the report complete on disk, prints the one-line diagnostic and
// exits with a non-zero status.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tcsum {

// Exit status of a run stopped by a diagnostic (a normal end gives 0).
inline constexpr int kExitRunStopped = 1;
// Exit status of a complete run (or check) that warned, with --strict.
inline constexpr int kExitWarned = 3;

// The files of a run, by unit number, with their default names.
inline constexpr int32_t kDataUnit = 5;
inline constexpr int32_t kReportUnit = 6;
inline constexpr const char* kDataFile = "TALVEN";
inline constexpr const char* kReportFile = "result.out";

// A run-stopping fault: the message users and scripts look for, the unit of
// the file concerned (0 for none) and where the fault lies.
struct Diagnostic {
  std::string message;
  int32_t unit = 0;
  std::string detail;
};

// The one-line form: "message, unit N, file F: detail"; without a unit
// "message: detail"; the detail and its colon only where there is one.
std::string formatDiagnostic(const Diagnostic& d, std::string_view file);

// The file name a unit has unless the command line names another.
std::string_view defaultFileName(int32_t unit);

class RunStop : public std::runtime_error {
 public:
  explicit RunStop(Diagnostic d)
      : std::runtime_error(formatDiagnostic(d, defaultFileName(d.unit))),
        diagnostic_(std::move(d)) {}
  const Diagnostic& diagnostic() const { return diagnostic_; }

 private:
  Diagnostic diagnostic_;
};

// TEXT in double quotes; bytes that are not printable ASCII, quotes and
// backslashes as escapes, so a diagnostic stays one line.
std::string quoted(std::string_view text);

// TEXT with its control bytes (0-31 and 127, line ends included) as \xNN, so
// that text from an input file shown in a message can neither end the line
// nor drive the terminal; every other byte stays. Every diagnostic and
// warning line goes through it.
std::string escapedControls(std::string_view text);

// Ends the run with the diagnostic MESSAGE for the data file, followed by DETAIL.
[[noreturn]] void dataFileFault(const char* message, const std::string& detail);

// Ends the run with the given diagnostic.
[[noreturn]] void fatal(Diagnostic diagnostic);

}  // namespace tcsum
