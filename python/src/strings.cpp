// SPDX-License-Identifier: Apache-2.0
#include "strings.h"

namespace mivaro::python {

Exceptions g_exceptions;

namespace {

PyObject* NewException(py::module_& module, const char* name, PyObject* base, const char* doc) {
  const std::string qualified = std::string("mivaro.") + name;
  PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
  if (type == nullptr) throw py::error_already_set();
  module.add_object(name, py::reinterpret_borrow<py::object>(type));
  return type;
}

}  // namespace

void AddExceptions(py::module_& module) {
  g_exceptions.validation =
      NewException(module, "ValidationError", PyExc_ValueError,
                   "An entry that is not a valid SIN; its message is the library's reason.");
  g_exceptions.length =
      NewException(module, "InvalidLength", g_exceptions.validation,
                   "Too long, not nine digits, empty, or eight digits that lost a leading zero.");
  g_exceptions.format =
      NewException(module, "InvalidFormat", g_exceptions.validation,
                   "Not digits only, bad grouping, reformatted by a spreadsheet, or not UTF-8.");
  g_exceptions.checksum = NewException(module, "InvalidChecksum", g_exceptions.validation,
                                       "Nine digits whose check sum is not a multiple of 10.");
  g_exceptions.component =
      NewException(module, "InvalidComponent", g_exceptions.validation,
                   "000 000 000, the placeholder payroll files carry for a missing SIN.");
}

PyObject* ExceptionFor(const Result& result) {
  switch (result.error) {
    case Error::TooLong:
    case Error::NotNineDigits:
    case Error::Empty:
    case Error::LeadingZeroLost:
      return g_exceptions.length;
    case Error::NotDigitsOnly:
    case Error::BadGrouping:
    case Error::Reformatted:
    case Error::NotUtf8:
      return g_exceptions.format;
    case Error::Placeholder:
      return g_exceptions.component;
    case Error::Ok:
      break;
  }
  return g_exceptions.checksum;
}

void Raise(PyObject* type, const std::string& message) {
  PyErr_SetString(type, message.c_str());
  throw py::error_already_set();
}

Utf8::Utf8(py::handle object) {
  if (!PyUnicode_Check(object.ptr())) {
    throw py::type_error("expected a str, not " +
                         std::string(py::str(py::type::handle_of(object).attr("__name__"))));
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(object.ptr(), &size);
  if (data != nullptr) {
    view_ = std::string_view(data, static_cast<std::size_t>(size));
    return;
  }
  PyErr_Clear();
  bytes_ = py::reinterpret_steal<py::object>(
      PyUnicode_AsEncodedString(object.ptr(), "utf-8", "surrogatepass"));
  if (!bytes_) throw py::error_already_set();
  view_ = std::string_view(PyBytes_AS_STRING(bytes_.ptr()),
                           static_cast<std::size_t>(PyBytes_GET_SIZE(bytes_.ptr())));
}

std::string OptionText(py::handle value, const char* name) {
  const Utf8 text(value);
  if (text.Owned()) {
    throw py::value_error(std::string(name) + ": " + std::string(ErrorText(Error::NotUtf8)));
  }
  return std::string(text.View());
}

std::string ListText(py::handle list, const char* name) {
  if (PyUnicode_Check(list.ptr())) return OptionText(list, name);
  std::string joined;
  for (const py::handle item : py::iter(list)) {
    if (!joined.empty()) joined += ',';
    joined += OptionText(item, name);
  }
  return joined;
}

}  // namespace mivaro::python
