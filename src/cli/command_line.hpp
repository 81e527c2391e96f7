#pragma once
// The command line: what a run reads and writes. Without arguments the
// program reads "TALVEN" and creates "result.out" in the working directory.
#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

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
  int32_t jobs = 0;  // data sets computed at once; 0 = one per processor core
};

// The options of a run, or the exit status when the program ends with the
// command line: 0 after --help or --version (written to OUT), kExitUsage
// after a usage error (one line on ERR naming the offending word).
std::variant<ProgramOptions, int> parseCommandLine(int argc, const char* const* argv,
                                                   std::ostream& out, std::ostream& err);

// The program's version, as --version and the JSON output give it.
const char* programVersion();

}  // namespace tcsum
