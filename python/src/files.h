// SPDX-License-Identifier: Apache-2.0
#pragma once

// find_in_file(): the SINs inside a file opened by its contents.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

namespace mivaro::python {

namespace py = pybind11;

// Adds find_in_file() to the module.
void AddFileFunctions(py::module_& module);

}  // namespace mivaro::python
