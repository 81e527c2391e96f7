#pragma once
// tcsum --check: reads the whole data file as a run would, lists every field
// of every record with its columns, the text found there, the value taken
// and its unit, and prints the warnings of the data. Computes no result and
// writes no report.
#include <string>

#include "input/fields.hpp"

namespace tcsum {

// The listing of one record, read as EXPECTING (what DataFile::next was
// asked for), one line per field.
std::string listRecord(const Record& record, const char* expecting);

// What the check is asked for: the data file, whether warnings are shown,
// and whether a warning makes the exit status kExitWarned.
struct CheckOptions {
  std::string input;
  bool quiet = false;
  bool strict = false;
};

// The check of the data file of OPTIONS: the listing on standard output,
// warnings and a run-stopping fault on standard error. Returns the exit
// status: 0, kExitRunStopped at a fault that would stop a run, kExitWarned
// with --strict when it warned.
int runCheck(const CheckOptions& options);

}  // namespace tcsum
