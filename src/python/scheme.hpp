#pragma once
// The decay scheme in Python: built from lists of levels and transitions (as
// dicts with the keys of the outputs), read from ENSDF files or from a data
// file; its levels and transitions readable back as dicts.
#include <pybind11/pybind11.h>

namespace tcsum::python {

void defineScheme(pybind11::module_& m);

}  // namespace tcsum::python
