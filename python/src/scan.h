// SPDX-License-Identifier: Apache-2.0
#pragma once

// find() and redact(): SINs in a str, with the library's searcher and its
// redaction; the searcher counts the str indices.

#include <pybind11/pybind11.h>

namespace mivaro::python {

namespace py = pybind11;

// Adds find(), redact() and the type Match, a named tuple (start, end,
// number, confidence, keyword), to the module. They are plain CPython
// functions and a C type, so that a column of short strings costs little
// more to search than to check.
void AddScanFunctions(py::module_& module);

}  // namespace mivaro::python
