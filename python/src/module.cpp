// SPDX-License-Identifier: Apache-2.0
// mivaro._mivaro: the library's C++ API for Python, the binding table. The
// package mivaro re-exports what it defines; see mivaro/__init__.pyi for the
// signatures. Strings and errors, the bulk checks, generate and the scan
// live beside this file, each in its own.
#include <mivaro/record.h>
#include <mivaro/scan.h>
#include <mivaro/sin.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <string>

#include "bulk.h"
#include "generate.h"
#include "files.h"
#include "scan.h"
#include "strings.h"
#include "values.h"

namespace py = pybind11;

namespace mivaro::python {
namespace {

// The digits of a well-formed entry, or the ValidationError for one that is
// not; a valid SIN is not asked for.
Number WellFormedNumber(py::handle entry) {
  const Result result = Check(Utf8(entry).View());
  if (!result.WellFormed()) Raise(ExceptionFor(result), Reason(result));
  return result.number;
}

std::string WithSeparator(const Number& number, const std::string& separator, bool masked) {
  // The library groups the digits; only the separator is the caller's.
  const std::string spaced = masked ? Mask(number, Style::Spaced) : Format(number, Style::Spaced);
  std::string text;
  for (const char c : spaced) {
    if (c == ' ') {
      text += separator;
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace
}  // namespace mivaro::python

using namespace mivaro;
using namespace mivaro::python;

PYBIND11_MODULE(_mivaro, module) {
  // The docstrings below begin with their own signatures, in Python's terms.
  py::options options;
  options.disable_function_signatures();
  module.doc() = "Mivaro's SIN rules, compiled; use the package mivaro.";
  module.attr("__version__") = std::string(mivaro::Version());

  AddExceptions(module);

  py::class_<PyResult> result(module, "Result",
                              "What check() finds out about one entry: the fields of "
                              "`mivaro-cli validate --json`. Frozen: its fields cannot be set.");
  // One property per field of the library's record, in its order.
  static constexpr std::array<const char*, kRecordFields.size()> kFieldDocs{
      "The entry exactly as given.",
      "The nine digits, or None when the entry is malformed.",
      "Whether the entry is a valid SIN.",
      "The nine weighted check values, or None when malformed.",
      "The check values' sum, 0 to 81, or None when malformed.",
      "What the first digit stands for (\"Atlantic\", \"ForeignTax\", ...), or None.",
      "The captions of the group's regions, in box order (\"NB\", \"PEI\", ...).",
      "Why the entry is not a number to check, or None for a well-formed one.",
  };
  for (std::size_t i = 0; i < kRecordFields.size(); ++i) {
    const auto field = static_cast<RecordField>(i);
    // The names are static literals, NUL-terminated.
    result.def_property_readonly(
        kRecordFields[i].data(), [field](const PyResult& r) { return FieldOf(r, field); },
        kFieldDocs[i]);
  }
  AddValueMethods(result, "Result", kRecordFields);

  AddScanFunctions(module);
  AddFileFunctions(module);
  module.def(
      "is_valid",
      [](py::handle entry) {
        const Utf8 text(entry);
        py::gil_scoped_release released;
        return mivaro::IsValid(text.View());
      },
      py::arg("s"),
      "is_valid(s: str) -> bool\n\n"
      "Returns whether s is a valid SIN: nine digits, bare or grouped 3-3-3 by spaces,\n"
      "hyphens, commas or no-break spaces, blanks around ignored. Never raises for a str.");
  module.def(
      "check",
      [](py::handle entry) {
        return PyResult{py::str(entry), mivaro::Check(Utf8(entry).View())};
      },
      py::arg("s"),
      "check(s: str) -> Result\n\n"
      "Returns everything the check finds out about s: the fields and values of\n"
      "`mivaro-cli validate --json`.");
  module.def(
      "compact",
      [](py::handle entry) {
        const Utf8 text(entry);
        // What is left of a lone surrogate could not become a str again.
        if (text.Owned()) {
          Raise(g_exceptions.format, std::string(mivaro::ErrorText(mivaro::Error::NotUtf8)));
        }
        return mivaro::Compact(text.View());
      },
      py::arg("s"),
      "compact(s: str) -> str\n\n"
      "Returns s without its blanks and group separators (spaces, hyphens, commas,\n"
      "no-break spaces), judging nothing.");
  module.def(
      "validate",
      [](py::handle entry) {
        const Result result = Check(Utf8(entry).View());
        if (!result.valid) Raise(ExceptionFor(result), Reason(result));
        return std::string(result.NumberText());
      },
      py::arg("s"),
      "validate(s: str) -> str\n\n"
      "Returns the nine digits of a valid SIN, or raises a ValidationError whose\n"
      "message is the reason: InvalidLength, InvalidFormat, InvalidChecksum or\n"
      "InvalidComponent (000 000 000, the placeholder for a missing SIN, which\n"
      "python3-stdnum takes for valid).");
  module.def(
      "format",
      [](py::handle entry, py::handle separator) {
        return WithSeparator(WellFormedNumber(entry), OptionText(separator, "separator"), false);
      },
      py::arg("s"), py::arg("separator") = " ",
      "format(s: str, separator: str = \" \") -> str\n\n"
      "Returns the nine digits in three groups (\"046 454 286\"); raises a\n"
      "ValidationError for a malformed entry (an invalid check is fine). The\n"
      "default separator is a space, where python3-stdnum's is a hyphen.");
  module.def(
      "mask",
      [](py::handle entry, py::handle separator) {
        return WithSeparator(WellFormedNumber(entry), OptionText(separator, "separator"), true);
      },
      py::arg("s"), py::arg("separator") = " ",
      "mask(s: str, separator: str = \" \") -> str\n\n"
      "Returns the number with all but its last three digits hidden (\"*** *** 286\"),\n"
      "for reports; raises a ValidationError for a malformed entry.");
  module.def("check_many", &python::CheckMany, py::arg("entries"),
             "check_many(entries: Iterable[str]) -> list[Result]\n\n"
             "Returns check() of every entry of any iterable of str (a list, a\n"
             "generator, a pandas Series), checked with the GIL released.");
  module.def("is_valid_many", &python::IsValidMany, py::arg("entries"),
             "is_valid_many(entries: Iterable[str]) -> list[bool] | numpy.ndarray\n\n"
             "Returns is_valid() of every entry, with the GIL released: a list of bool,\n"
             "or for a numpy array a numpy boolean array of the same shape.");
  module.def("generate", &python::Generate, py::arg("count") = 1, py::kw_only(),
             py::arg("regions") = py::none(), py::arg("first_digit") = py::none(),
             py::arg("digits") = "1-9", py::arg("unique") = false, py::arg("invalid") = py::none(),
             py::arg("seed") = py::none(),
             "generate(count=1, *, regions=None, first_digit=None, digits=\"1-9\",\n"
             "         unique=False, invalid=None, seed=None) -> list[str]\n\n"
             "Returns count SINs, the numbers `mivaro-cli generate` prints for the same\n"
             "options and seed. regions: captions, as a list or \"QC,ON\"; first_digit:\n"
             "0-9; digits: \"1-9\" or \"0-9\" for positions 2-9; unique: no number\n"
             "twice; invalid: kinds of numbers that fail on purpose (checksum, length,\n"
             "letters, grouping, zeros), as a list or \"checksum,zeros\"; seed: an int\n"
             "for the same numbers every time. What mivaro-cli refuses raises ValueError.");
}
