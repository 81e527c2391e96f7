#pragma once
// Faults and warnings of the program as Python sees them: a fault is raised
// as tcsum.Error (a ValueError and a RuntimeError) with the program's one-line
// diagnostic; a warning goes through Python's warnings module as
// tcsum.TcsumWarning, with the text the command line prints after
// "warning: ".
#include <stdexcept>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>

namespace tcsum::python {

// A fault of the program, raised in Python as tcsum.Error with what().
class ModuleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Defines tcsum.Error and tcsum.TcsumWarning in M and translates ModuleError
// and the faults of the library (RunStop, std::invalid_argument ...) into
// tcsum.Error.
void defineErrors(pybind11::module_& m);

// Issues each of TEXTS as a TcsumWarning (the GIL held). A warning that the
// filters turn into an error is raised.
void issueWarnings(const std::vector<std::string>& texts);

// TEXT without the "warning: " the command line starts it with.
std::string warningText(const std::string& text);

}  // namespace tcsum::python
