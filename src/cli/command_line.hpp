#pragma once
// The command line: what a run reads and writes. Without arguments the
// program reads "TALVEN" and creates "result.out" in the working directory.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "core/fatal.hpp"
#include "core/result.hpp"
#include "ensdf/command.hpp"

namespace tcsum {

// Exit status of a command line that cannot be understood.
inline constexpr int kExitUsage = 2;

struct ProgramOptions {
  std::string input = "TALVEN";       // the data file
  std::string report = "result.out";  // "-" = standard output
  bool noReport = false;
  bool force = false;  // replace existing outputs
  std::string json;    // "" = none, "-" = standard output
  std::string csv;
  bool quiet = false;   // no warnings, and nothing on standard output but an output sent there
  bool strict = false;  // a warning makes the exit status kExitWarned
  bool check = false;   // list and check the data file, compute nothing
  // The uncertainty of the factors from that of the efficiency table, when
  // --u-total or --u-peak is given.
  std::optional<UncertaintySettings> uncertainty;
  // Threads to compute on: data sets at once, or the samples of an
  // uncertainty run; 0 = one per processor core.
  int32_t jobs = 0;
  std::string html;
};

// `tcsum ensdf ...`: ENSDF decay data converted into data sets.
struct EnsdfRequest {
  ensdf::Options options;
  bool force = false;  // replace an existing output file
};

// The options of a run or of the ensdf command, or the exit status when the
// program ends with the command line: 0 after --help or --version (written
// to OUT), kExitUsage after a usage error (one line on ERR naming the
// offending word).
using Command = std::variant<ProgramOptions, EnsdfRequest, int>;
Command parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// "--json=" would take the next word for its value (a file named "-q"): the
// first option of ARGV (after argv[0], before "--") given so with an empty
// value, without its "="; empty when there is none. Every command refuses it
// with kEmptyValue before anything is parsed.
std::string_view emptyValueOption(int argc, const char* const* argv);
inline constexpr const char* kEmptyValue = "empty value (a file option needs a file name)";

// The program's version, as --version and the JSON output give it.
const char* programVersion();

}  // namespace tcsum
