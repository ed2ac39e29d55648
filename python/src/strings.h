// SPDX-License-Identifier: Apache-2.0
#pragma once

// How the module takes Python strings in and raises the library's refusals.

#include <mivaro/sin.h>
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

namespace mivaro::python {

namespace py = pybind11;

// The exception classes, made once with the module.
struct Exceptions {
  PyObject* validation = nullptr;
  PyObject* length = nullptr;
  PyObject* format = nullptr;
  PyObject* checksum = nullptr;
  PyObject* component = nullptr;
};
extern Exceptions g_exceptions;

// Makes the exception classes and adds them to the module.
void AddExceptions(py::module_& module);

// Returns the exception class for why a result is not a valid SIN.
PyObject* ExceptionFor(const Result& result);

[[noreturn]] void Raise(PyObject* type, const std::string& message);

// The UTF-8 bytes of a str, without a copy. A lone surrogate, which UTF-8
// cannot hold, is passed on as the bytes "surrogatepass" gives, which the
// library finds are not UTF-8. Anything but a str is a TypeError.
class Utf8 {
 public:
  explicit Utf8(py::handle object);
  std::string_view View() const { return view_; }
  // Whether the view is into bytes made here, not into the str itself.
  bool Owned() const { return static_cast<bool>(bytes_); }

 private:
  py::object bytes_;  // null unless made for lone surrogates
  std::string_view view_;
};

// The UTF-8 of an option's str; a ValueError naming the option for a lone
// surrogate, which no name or separator holds.
std::string OptionText(py::handle value, const char* name);

// A list of names as a comma-separated string or a sequence of names.
std::string ListText(py::handle list, const char* name);

// Returns value when present, else None.
inline py::object OrNone(bool present, const py::object& value) {
  return present ? value : py::none();
}

}  // namespace mivaro::python
