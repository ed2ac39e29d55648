// SPDX-License-Identifier: Apache-2.0
#pragma once

// The module's value class Result: frozen, compared, hashed and shown by
// its fields.

#include <mivaro/record.h>
#include <mivaro/sin.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "strings.h"

namespace mivaro::python {

// What check() gives: the fields of the library's record.
struct PyResult {
  py::str input;
  Result result;
};

// One field of a result, as Python sees it.
py::object FieldOf(const PyResult& r, RecordField field);
// Every field, in the record's order.
py::tuple FieldsOf(const PyResult& r);

// Gives a frozen value class equality, a hash and a repr, all by its fields
// (what FieldsOf gives, named in order).
template <typename T, typename Names>
void AddValueMethods(py::class_<T>& type, const char* name, const Names& names) {
  type.def("__eq__",
           [](const T& a, const py::object& b) -> py::object {
             if (!py::isinstance<T>(b))
               return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             return py::bool_(FieldsOf(a).equal(FieldsOf(b.cast<const T&>())));
           })
      .def("__hash__", [](const T& value) { return py::hash(FieldsOf(value)); })
      .def("__repr__", [name, names](const T& value) {
        const py::tuple fields = FieldsOf(value);
        std::string text = std::string(name) + "(";
        for (std::size_t i = 0; i < std::size(names); ++i) {
          if (i != 0) text += ", ";
          text += names[i];
          text += '=';
          text += py::repr(fields[i]).cast<std::string>();
        }
        return text + ")";
      });
}

}  // namespace mivaro::python
