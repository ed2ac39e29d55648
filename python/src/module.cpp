// SPDX-License-Identifier: Apache-2.0
// mivaro._mivaro: the library's C++ API for Python. The package mivaro
// re-exports what it defines; see mivaro/__init__.pyi for the signatures.
#include <mivaro/generator.h>
#include <mivaro/scan.h>
#include <mivaro/sin.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace py = pybind11;

namespace {

// The exception classes, made once with the module.
struct Exceptions {
  PyObject* validation = nullptr;
  PyObject* length = nullptr;
  PyObject* format = nullptr;
  PyObject* checksum = nullptr;
  PyObject* component = nullptr;
};
Exceptions g_exceptions;

// Returns the exception class for why a result is not a valid SIN.
PyObject* ExceptionFor(const mivaro::Result& result) {
  switch (result.error) {
    case mivaro::Error::TooLong:
    case mivaro::Error::NotNineDigits:
    case mivaro::Error::Empty:
    case mivaro::Error::LeadingZeroLost:
      return g_exceptions.length;
    case mivaro::Error::NotDigitsOnly:
    case mivaro::Error::BadGrouping:
    case mivaro::Error::Reformatted:
    case mivaro::Error::NotUtf8:
      return g_exceptions.format;
    case mivaro::Error::Placeholder:
      return g_exceptions.component;
    case mivaro::Error::Ok:
      break;
  }
  return g_exceptions.checksum;
}

[[noreturn]] void Raise(PyObject* type, const std::string& message) {
  PyErr_SetString(type, message.c_str());
  throw py::error_already_set();
}

// The UTF-8 bytes of a str, without a copy. A lone surrogate, which UTF-8
// cannot hold, is passed on as the bytes "surrogatepass" gives, which the
// library finds are not UTF-8. Anything but a str is a TypeError.
class Utf8 {
 public:
  explicit Utf8(py::handle object) {
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
  std::string_view View() const { return view_; }
  // Whether the view is into bytes made here, not into the str itself.
  bool Owned() const { return static_cast<bool>(bytes_); }

 private:
  py::object bytes_;  // null unless made for lone surrogates
  std::string_view view_;
};

// What check() gives: the fields of `mivaro-cli validate --json`.
struct PyResult {
  py::str input;
  mivaro::Result result;
};

py::object OrNone(bool present, const py::object& value) {
  return present ? value : py::none();
}

py::tuple RegionsOf(const mivaro::Result& result) {
  std::vector<std::string_view> captions;
  for (const mivaro::RegionBox& box : mivaro::kRegionBoxes) {
    if ((result.regions & box.Bit) != 0) captions.push_back(box.Caption);
  }
  return py::tuple(py::cast(captions));
}

py::tuple FieldsOf(const PyResult& r) {
  const mivaro::Result& result = r.result;
  const bool formed = result.WellFormed();
  return py::make_tuple(
      r.input, OrNone(formed, py::str(std::string(result.NumberText()))), result.valid,
      OrNone(formed, py::str(std::string(result.CheckText()))),
      OrNone(formed, py::int_(result.sum)),
      OrNone(formed, py::str(std::string(
                         mivaro::GroupName(result.group.value_or(mivaro::RegionGroup::Atlantic))))),
      RegionsOf(result), OrNone(!formed, py::str(std::string(mivaro::ErrorText(result.error)))));
}

// The digits of a well-formed entry, or the ValidationError for one that is
// not; a valid SIN is not asked for.
mivaro::Number WellFormedNumber(py::handle entry) {
  const mivaro::Result result = mivaro::Check(Utf8(entry).View());
  if (!result.WellFormed()) Raise(ExceptionFor(result), mivaro::Reason(result));
  return result.number;
}

std::string WithSeparator(const mivaro::Number& number, const std::string& separator, bool masked) {
  // The library groups the digits; only the separator is the caller's.
  const std::string spaced = masked ? mivaro::Mask(number, mivaro::Style::Spaced)
                                    : mivaro::Format(number, mivaro::Style::Spaced);
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

// The UTF-8 of an option's str; a ValueError naming the option for a lone
// surrogate, which no name or separator holds.
std::string OptionText(py::handle value, const char* name) {
  const Utf8 text(value);
  if (text.Owned()) {
    throw py::value_error(std::string(name) + ": " +
                          std::string(mivaro::ErrorText(mivaro::Error::NotUtf8)));
  }
  return std::string(text.View());
}

// A list of kinds or regions as a comma-separated string or a sequence of
// names.
std::string ListText(py::handle list, const char* name) {
  if (PyUnicode_Check(list.ptr())) return OptionText(list, name);
  std::string joined;
  for (const py::handle item : py::iter(list)) {
    if (!joined.empty()) joined += ',';
    joined += OptionText(item, name);
  }
  return joined;
}

constexpr std::uint64_t kMaxCount = 100'000'000;

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

std::vector<std::string> Generate(std::int64_t count, const py::object& regions,
                                  const py::object& firstDigit, const std::string& digits,
                                  bool unique, const py::object& invalid, const py::object& seed) {
  if (count < 1 || static_cast<std::uint64_t>(count) > kMaxCount) {
    throw py::value_error("count " + std::to_string(count) + " is out of range (expected 1 to " +
                          std::to_string(kMaxCount) + ")");
  }
  if (digits != "1-9" && digits != "0-9") {
    throw py::value_error("digits must be \"1-9\" or \"0-9\", not \"" + digits + "\"");
  }
  mivaro::GeneratorOptions options;
  std::string error;
  if (!regions.is_none()) {
    const auto bits = mivaro::ParseRegions(ListText(regions, "regions"), error);
    if (!bits) throw py::value_error(error);
    options.regions = *bits;
  }
  if (!firstDigit.is_none()) options.firstDigit = SmallInt(firstDigit, "first_digit");
  options.zeroToNine = digits == "0-9";
  options.unique = unique;
  if (!invalid.is_none()) {
    auto kinds = mivaro::ParseInvalidKinds(ListText(invalid, "invalid"), error);
    if (!kinds) throw py::value_error(error);
    options.invalid = std::move(*kinds);
  }
  if (seed.is_none()) {
    std::random_device device;
    options.seed = (std::uint64_t{device()} << 32U) ^ device();
  } else {
    options.seed = Seed(seed);
  }
  std::optional<mivaro::Generator> generator;
  try {
    generator.emplace(options);
  } catch (const std::invalid_argument& refused) {
    throw py::value_error(refused.what());
  }
  if (unique && static_cast<std::uint64_t>(count) > generator->Distinct()) {
    throw py::value_error("count " + std::to_string(count) + " is more than the " +
                          std::to_string(generator->Distinct()) +
                          " distinct valid numbers these options allow");
  }
  std::vector<std::string> numbers(static_cast<std::size_t>(count));
  {
    py::gil_scoped_release released;
    for (std::string& number : numbers) generator->Next(number);
  }
  return numbers;
}

// How many entries the bulk functions take from an iterable at a time: they
// hold that many entries' text, not the whole iterable's.
constexpr std::size_t kChunk = 65536;

// The entries of one chunk: their UTF-8 views, and references that keep the
// str objects (and any bytes made for lone surrogates) alive while the views
// are read without the GIL.
class Chunk {
 public:
  Chunk() {
    views_.reserve(kChunk);
    held_.reserve(kChunk);
  }
  ~Chunk() { Clear(); }
  Chunk(const Chunk&) = delete;
  Chunk& operator=(const Chunk&) = delete;

  void Add(PyObject* entry) {
    const Utf8 text{py::handle(entry)};
    Py_INCREF(entry);
    held_.push_back(entry);
    views_.push_back(text.View());
    if (text.Owned()) surrogates_.push_back(text);
  }
  void Clear() {
    for (PyObject* entry : held_) Py_DECREF(entry);
    held_.clear();
    views_.clear();
    surrogates_.clear();
  }
  bool Full() const { return views_.size() == kChunk; }
  const std::vector<std::string_view>& Views() const { return views_; }
  PyObject* Entry(std::size_t index) const { return held_[index]; }

 private:
  std::vector<std::string_view> views_;
  std::vector<PyObject*> held_;
  std::vector<Utf8> surrogates_;  // the bytes behind the views of lone surrogates
};

// Calls take(chunk) for the entries of any iterable of str, a chunk at a
// time; a list or tuple is read in place.
template <typename Take>
void EachChunk(py::handle entries, const Take& take) {
  Chunk chunk;
  const auto add = [&](PyObject* entry) {
    chunk.Add(entry);
    if (chunk.Full()) {
      take(chunk);
      chunk.Clear();
    }
  };
  if (PyList_Check(entries.ptr()) || PyTuple_Check(entries.ptr())) {
    const py::object sequence =
        py::reinterpret_steal<py::object>(PySequence_Fast(entries.ptr(), "expected a sequence"));
    const Py_ssize_t size = PySequence_Fast_GET_SIZE(sequence.ptr());
    for (Py_ssize_t i = 0; i < size; ++i) add(PySequence_Fast_GET_ITEM(sequence.ptr(), i));
  } else {
    for (const py::handle entry : py::iter(entries)) add(entry.ptr());
  }
  if (!chunk.Views().empty()) take(chunk);
}

std::vector<PyResult> CheckMany(py::handle entries) {
  std::vector<PyResult> all;
  std::vector<mivaro::Result> results;
  EachChunk(entries, [&](const Chunk& chunk) {
    const std::vector<std::string_view>& views = chunk.Views();
    results.resize(views.size());
    {
      py::gil_scoped_release released;
      for (std::size_t i = 0; i < views.size(); ++i) results[i] = mivaro::Check(views[i]);
    }
    for (std::size_t i = 0; i < views.size(); ++i) {
      all.push_back(PyResult{py::reinterpret_borrow<py::str>(chunk.Entry(i)), results[i]});
    }
  });
  return all;
}

// One byte per entry: 1 valid, 0 not.
std::vector<char> IsValidMany(py::handle entries) {
  std::vector<char> all;
  EachChunk(entries, [&](const Chunk& chunk) {
    const std::vector<std::string_view>& views = chunk.Views();
    const std::size_t start = all.size();
    all.resize(start + views.size());
    py::gil_scoped_release released;
    for (std::size_t i = 0; i < views.size(); ++i) {
      all[start + i] = mivaro::IsValid(views[i]) ? 1 : 0;
    }
  });
  return all;
}

// A numpy array in, a numpy boolean array of its shape out; anything else, a
// list of bool.
py::object IsValidManyAnyKind(py::handle entries) {
  const py::handle type = py::type::handle_of(entries);
  const bool numpyArray = py::str(type.attr("__module__")).cast<std::string>() == "numpy" &&
                          py::str(type.attr("__name__")).cast<std::string>() == "ndarray";
  if (numpyArray) {
    const py::module_ numpy = py::module_::import("numpy");
    const std::vector<char> valid = IsValidMany(entries.attr("ravel")().attr("tolist")());
    const py::bytes bytes(valid.data(), valid.size());
    return numpy.attr("frombuffer")(bytes, py::arg("dtype") = numpy.attr("bool_"))
        .attr("reshape")(entries.attr("shape"))
        .attr("copy")();
  }
  const std::vector<char> valid = IsValidMany(entries);
  py::list list(valid.size());
  for (std::size_t i = 0; i < valid.size(); ++i) {
    PyObject* answer = valid[i] != 0 ? Py_True : Py_False;
    Py_INCREF(answer);
    PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(i), answer);
  }
  return list;
}

// What find() gives: where a SIN lies in the str, and what it is.
struct PyMatch {
  Py_ssize_t start = 0;
  Py_ssize_t end = 0;
  std::string number;
  std::string_view confidence;
  std::string_view keyword;  // "" for none
};

py::tuple FieldsOf(const PyMatch& m) {
  return py::make_tuple(m.start, m.end, m.number, py::str(std::string(m.confidence)),
                        OrNone(!m.keyword.empty(), py::str(std::string(m.keyword))));
}

mivaro::Confidence ConfidenceOf(const std::string& name) {
  const auto confidence = mivaro::ParseConfidence(name);
  if (!confidence) {
    throw py::value_error("min_confidence must be \"low\", \"medium\" or \"high\", not \"" + name +
                          "\"");
  }
  return *confidence;
}

// Returns scan(text), with the GIL released for a text past 64 KiB, where
// other threads gain more than the release costs.
template <typename Scan>
auto Scanned(std::string_view text, const Scan& scan) {
  constexpr std::size_t kReleaseGilBytes = 65536;
  if (text.size() <= kReleaseGilBytes) return scan(text);
  py::gil_scoped_release released;
  return scan(text);
}

std::vector<PyMatch> Find(py::handle text, const std::string& minimum) {
  const mivaro::Confidence confidence = ConfidenceOf(minimum);
  const Utf8 utf8(text);
  const std::string_view bytes = utf8.View();
  const std::vector<mivaro::Match> matches =
      Scanned(bytes, [&](std::string_view all) { return mivaro::Find(all, confidence); });
  // Byte offsets to str indices: every byte but a UTF-8 continuation byte
  // starts a code point (a lone surrogate's three bytes too).
  std::vector<PyMatch> found;
  std::size_t at = 0;
  Py_ssize_t index = 0;
  const auto indexOf = [&](std::size_t offset) {
    for (; at < offset; ++at) index += (static_cast<unsigned char>(bytes[at]) & 0xC0U) != 0x80U;
    return index;
  };
  for (const mivaro::Match& match : matches) {
    PyMatch m;
    m.start = indexOf(match.offset);
    m.end = indexOf(match.offset + match.length);
    m.number.assign(match.number.data(), match.number.size());
    m.confidence = mivaro::ConfidenceName(match.confidence);
    m.keyword = match.keyword;
    found.push_back(m);
  }
  return found;
}

py::str Redact(py::handle text, const std::string& minimum, bool allDigits) {
  const mivaro::Confidence confidence = ConfidenceOf(minimum);
  const Utf8 utf8(text);
  const std::string redacted = Scanned(utf8.View(), [&](std::string_view all) {
    return mivaro::Redact(all, confidence, allDigits);
  });
  // Back to a str, lone surrogates and all: only ASCII digits changed.
  PyObject* decoded = PyUnicode_DecodeUTF8(
      redacted.data(), static_cast<Py_ssize_t>(redacted.size()), "surrogatepass");
  if (decoded == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(decoded);
}

// Gives a frozen value class equality, a hash and a repr, all by its fields
// (what FieldsOf gives, named in order).
template <typename T, std::size_t N>
void AddValueMethods(py::class_<T>& type, const char* name, const char* const (&names)[N]) {
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
        for (std::size_t i = 0; i < N; ++i) {
          if (i != 0) text += ", ";
          text += names[i];
          text += '=';
          text += py::repr(fields[i]).cast<std::string>();
        }
        return text + ")";
      });
}

PyObject* NewException(py::module_& module, const char* name, PyObject* base, const char* doc) {
  const std::string qualified = std::string("mivaro.") + name;
  PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
  if (type == nullptr) throw py::error_already_set();
  module.add_object(name, py::reinterpret_borrow<py::object>(type));
  return type;
}

}  // namespace

PYBIND11_MODULE(_mivaro, module) {
  // The docstrings below begin with their own signatures, in Python's terms.
  py::options options;
  options.disable_function_signatures();
  module.doc() = "Mivaro's SIN rules, compiled; use the package mivaro.";
  module.attr("__version__") = std::string(mivaro::Version());

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

  py::class_<PyResult> result(module, "Result",
                              "What check() finds out about one entry: the fields of "
                              "`mivaro-cli validate --json`. Frozen: its fields cannot be set.");
  result
      .def_property_readonly(
          "input", [](const PyResult& r) { return r.input; }, "The entry exactly as given.")
      .def_property_readonly(
          "number", [](const PyResult& r) -> py::object { return FieldsOf(r)[1]; },
          "The nine digits, or None when the entry is malformed.")
      .def_property_readonly(
          "valid", [](const PyResult& r) { return r.result.valid; },
          "Whether the entry is a valid SIN.")
      .def_property_readonly(
          "check", [](const PyResult& r) -> py::object { return FieldsOf(r)[3]; },
          "The nine weighted check values, or None when malformed.")
      .def_property_readonly(
          "sum", [](const PyResult& r) -> py::object { return FieldsOf(r)[4]; },
          "The check values' sum, 0 to 81, or None when malformed.")
      .def_property_readonly(
          "group", [](const PyResult& r) -> py::object { return FieldsOf(r)[5]; },
          "What the first digit stands for (\"Atlantic\", \"ForeignTax\", ...), or None.")
      .def_property_readonly(
          "regions", [](const PyResult& r) { return RegionsOf(r.result); },
          "The captions of the group's regions, in box order (\"NB\", \"PEI\", ...).")
      .def_property_readonly(
          "error", [](const PyResult& r) -> py::object { return FieldsOf(r)[7]; },
          "Why the entry is not a number to check, or None for a well-formed one.");
  AddValueMethods(result, "Result",
                  {"input", "number", "valid", "check", "sum", "group", "regions", "error"});

  py::class_<PyMatch> match(module, "Match",
                            "A SIN that find() found: where it lies in the str and what it is. "
                            "Frozen: its fields cannot be set.");
  match
      .def_property_readonly(
          "start", [](const PyMatch& m) { return m.start; },
          "Where its first digit is in the str, an index as text[start] takes it.")
      .def_property_readonly(
          "end", [](const PyMatch& m) { return m.end; },
          "One past its last digit: text[start:end] is the SIN as written.")
      .def_property_readonly(
          "number", [](const PyMatch& m) { return m.number; }, "Its nine digits.")
      .def_property_readonly(
          "confidence", [](const PyMatch& m) { return std::string(m.confidence); },
          "\"low\", \"medium\" or \"high\".")
      .def_property_readonly(
          "keyword", [](const PyMatch& m) -> py::object { return FieldsOf(m)[4]; },
          "The keyword or SIN column name that made it high, or None.");
  AddValueMethods(match, "Match", {"start", "end", "number", "confidence", "keyword"});

  module.def("find", &Find, py::arg("text"), py::arg("min_confidence") = "medium",
             "find(text: str, min_confidence: str = \"medium\") -> list[Match]\n\n"
             "Returns the SINs in a free text (a log, an e-mail, a ticket, a JSON or CSV\n"
             "export), in order, each at least as sure as min_confidence: \"high\" near a\n"
             "keyword (SIN, social insurance, NAS, assurance sociale, ...) or in a SIN\n"
             "column, \"medium\" grouped, \"low\" bare or with a first digit of 8. The same\n"
             "matches as `mivaro-cli scan`; a large text is scanned with the GIL released.");
  module.def(
      "redact", &Redact, py::arg("text"), py::arg("min_confidence") = "medium",
      py::arg("all_digits") = false,
      "redact(text: str, min_confidence: str = \"medium\", all_digits: bool = False) -> str\n\n"
      "Returns the text with the digits of every SIN find() finds replaced by '*',\n"
      "all but the last three (all nine with all_digits); every other character\n"
      "stays, so the text keeps its length and its indices.");
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
        const mivaro::Result result = mivaro::Check(Utf8(entry).View());
        if (!result.valid) Raise(ExceptionFor(result), mivaro::Reason(result));
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
  module.def("check_many", &CheckMany, py::arg("entries"),
             "check_many(entries: Iterable[str]) -> list[Result]\n\n"
             "Returns check() of every entry of any iterable of str (a list, a\n"
             "generator, a pandas Series), checked with the GIL released.");
  module.def("is_valid_many", &IsValidManyAnyKind, py::arg("entries"),
             "is_valid_many(entries: Iterable[str]) -> list[bool] | numpy.ndarray\n\n"
             "Returns is_valid() of every entry, with the GIL released: a list of bool,\n"
             "or for a numpy array a numpy boolean array of the same shape.");
  module.def("generate", &Generate, py::arg("count") = 1, py::kw_only(),
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
