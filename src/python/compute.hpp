#pragma once
// The computations the module offers: a data file run as the command line
// runs it (the classic model), and a decay scheme with an efficiency through
// a model.
#include <pybind11/pybind11.h>

namespace tcsum::python {

void defineCompute(pybind11::module_& m);

}  // namespace tcsum::python
