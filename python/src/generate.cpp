// SPDX-License-Identifier: Apache-2.0
#include "generate.h"

#include <mivaro/generator.h>

#include <optional>
#include <random>

#include "strings.h"

namespace mivaro::python {
namespace {

// An int that fits an int, for a digit; a TypeError for anything else, a
// ValueError for a number far out of range.
int SmallInt(const py::object& value, const char* name) {
  if (!PyLong_Check(value.ptr()) || PyBool_Check(value.ptr())) {
    throw py::type_error(std::string(name) + " must be an int");
  }
  int overflow = 0;
  const long number = PyLong_AsLongAndOverflow(value.ptr(), &overflow);
  if (overflow != 0 || number < -1000 || number > 1000) {
    throw py::value_error(std::string(name) + " is out of range (expected 0 to 9)");
  }
  return static_cast<int>(number);
}

// A seed: an int from 0 to 2**64 - 1.
std::uint64_t Seed(const py::object& value) {
  if (!PyLong_Check(value.ptr()) || PyBool_Check(value.ptr())) {
    throw py::type_error("seed must be an int");
  }
  const unsigned long long seed = PyLong_AsUnsignedLongLong(value.ptr());
  if (seed == static_cast<unsigned long long>(-1) && PyErr_Occurred() != nullptr) {
    PyErr_Clear();
    throw py::value_error("seed is out of range (expected 0 to 18446744073709551615)");
  }
  return seed;
}

}  // namespace

std::vector<std::string> Generate(std::int64_t count, const py::object& regions,
                                  const py::object& firstDigit, const std::string& digits,
                                  bool unique, const py::object& invalid, const py::object& seed) {
  if (count < 1 || static_cast<std::uint64_t>(count) > kMostGenerated) {
    throw py::value_error("count " + std::to_string(count) + " is out of range (expected 1 to " +
                          std::to_string(kMostGenerated) + ")");
  }
  if (digits != "1-9" && digits != "0-9") {
    throw py::value_error("digits must be \"1-9\" or \"0-9\", not \"" + digits + "\"");
  }
  GeneratorOptions options;
  std::string error;
  if (!regions.is_none()) {
    const auto bits = ParseRegions(ListText(regions, "regions"), error);
    if (!bits) throw py::value_error(error);
    options.regions = *bits;
  }
  if (!firstDigit.is_none()) options.firstDigit = SmallInt(firstDigit, "first_digit");
  options.zeroToNine = digits == "0-9";
  options.unique = unique;
  if (!invalid.is_none()) {
    auto kinds = ParseInvalidKinds(ListText(invalid, "invalid"), error);
    if (!kinds) throw py::value_error(error);
    options.invalid = std::move(*kinds);
  }
  if (seed.is_none()) {
    std::random_device device;
    options.seed = (std::uint64_t{device()} << 32U) ^ device();
  } else {
    options.seed = Seed(seed);
  }
  std::optional<Generator> generator = Generator::Create(options, error);
  if (!generator || !generator->Gives(static_cast<std::uint64_t>(count), error)) {
    throw py::value_error(error);
  }
  std::vector<std::string> numbers(static_cast<std::size_t>(count));
  {
    py::gil_scoped_release released;
    for (std::string& number : numbers) generator->Next(number);
  }
  return numbers;
}

}  // namespace mivaro::python
