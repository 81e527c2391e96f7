#pragma once
// The whole program: the command line, the files of a run and its exit status.
#include "cli/command_line.hpp"
#include "core/result.hpp"

namespace tcsum {

// Runs the data file of OPTIONS into the outputs it names. Prints a
// diagnostic on standard error when the run stops early and returns the
// exit status.
int runProgram(const ProgramOptions& options);

// `tcsum ensdf`: the conversion, its output written whole (replacing an
// existing file only with --force).
int runEnsdf(const EnsdfRequest& request);

// `tcsum factors`: the complete model (ARGV[0] is "factors").
int runFactorsCommand(int argc, char** argv);

// main(): the command line, then the run.
int main(int argc, char** argv);

}  // namespace tcsum
