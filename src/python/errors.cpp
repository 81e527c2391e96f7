#include "python/bindings.hpp"

#include <exception>
#include <string_view>

namespace py = pybind11;

namespace tcsum::python {

namespace {

// The module's own class of NAME (Error, TcsumWarning), looked up when needed
// rather than kept in a static.
py::object moduleClass(const char* name) {
  return py::module_::import("tcsum").attr(name);
}

void raise(const char* what) {
  PyErr_SetString(moduleClass("Error").ptr(), what);
}

}  // namespace

void defineErrors(py::module_& m) {
  // Both a ValueError (bad input, the usual case) and a RuntimeError (a run
  // stopped), so either except clause catches it.
  py::object type = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type));
  py::dict body;
  body["__module__"] = "tcsum";
  body["__doc__"] =
      "A fault of the input or of the computation; str() is the program's one-line "
      "diagnostic, as the command line prints it.";
  m.attr("Error") = type("Error", py::make_tuple(py::handle(PyExc_ValueError),
                                                 py::handle(PyExc_RuntimeError)),
                         body);
  py::dict warningBody;
  warningBody["__module__"] = "tcsum";
  warningBody["__doc__"] =
      "Something in the input a user should check; the computation went on. The text is "
      "the command line's warning without its \"warning: \".";
  m.attr("TcsumWarning") = type("TcsumWarning", py::make_tuple(py::handle(PyExc_UserWarning)),
                                warningBody);

  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const py::builtin_exception&) {
      throw;  // pybind11's own (TypeError ...) stay what they are
    } catch (const std::runtime_error& e) {
      // RunStop, ModuleError, the readers' faults
      raise(e.what());
    } catch (const std::logic_error& e) {
      // std::invalid_argument, std::out_of_range: arguments the library refuses
      raise(e.what());
    }
  });
}

std::string warningText(const std::string& text) {
  constexpr std::string_view prefix = "warning: ";
  if (std::string_view(text).substr(0, prefix.size()) == prefix) return text.substr(prefix.size());
  return text;
}

void issueWarnings(const std::vector<std::string>& texts) {
  if (texts.empty()) return;
  py::object category = moduleClass("TcsumWarning");
  for (const std::string& text : texts) {
    if (PyErr_WarnEx(category.ptr(), text.c_str(), 1) != 0) throw py::error_already_set();
  }
}

}  // namespace tcsum::python
