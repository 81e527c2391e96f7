// The Python module tcsum: decay schemes, efficiencies and the models of the
// program for scripts and notebooks. Every computation runs without the
// global interpreter lock, so threads compute at once.
#include <pybind11/pybind11.h>

#include "python/bindings.hpp"

PYBIND11_MODULE(tcsum, m) {
  m.doc() =
      "True-coincidence summing corrections for gamma-ray spectrometry: decay schemes, "
      "detector efficiencies and the factors that remove coincidence summing from measured "
      "peak areas.";
  m.attr("__version__") = TCSUM_VERSION;
  tcsum::python::defineErrors(m);
  tcsum::python::defineResult(m);
  tcsum::python::defineEfficiency(m);
  tcsum::python::defineScheme(m);
  tcsum::python::defineCompute(m);
}
