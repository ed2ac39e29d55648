// SPDX-License-Identifier: Apache-2.0
#pragma once

// The bulk checks: any iterable of str, a chunk at a time, checked with the
// GIL released.

#include <pybind11/pybind11.h>

#include <vector>

#include "values.h"

namespace mivaro::python {

// check() of every entry.
std::vector<PyResult> CheckMany(py::handle entries);

// is_valid() of every entry: a numpy array in, a numpy boolean array of its
// shape out; anything else, a list of bool.
py::object IsValidMany(py::handle entries);

}  // namespace mivaro::python
