// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mivaro::python {

namespace py = pybind11;

// generate(): the numbers mivaro-cli generate prints for the same options
// and seed; what the library refuses raises ValueError.
std::vector<std::string> Generate(std::int64_t count, const py::object& regions,
                                  const py::object& firstDigit, const std::string& digits,
                                  bool unique, const py::object& invalid, const py::object& seed);

}  // namespace mivaro::python
