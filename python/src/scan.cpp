// SPDX-License-Identifier: Apache-2.0
#include "scan.h"

#include <mivaro/scan.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "strings.h"

namespace mivaro::python {
namespace {

PyTypeObject* g_matchType = nullptr;

// The strs of the names a match gives, made once: the confidences, and the
// keywords and SIN column names, which are the library's static texts.
PyObject* NameObject(std::string_view name) {
  static std::unordered_map<const char*, PyObject*> made;
  const auto [at, added] = made.try_emplace(name.data(), nullptr);
  if (added) {
    at->second = PyUnicode_InternFromString(std::string(name).c_str());
    if (at->second == nullptr) {
      made.erase(at);
      throw py::error_already_set();
    }
  }
  Py_INCREF(at->second);
  return at->second;
}

// A str of ASCII bytes, made without decoding them.
PyObject* AsciiObject(std::string_view bytes) {
  PyObject* text = PyUnicode_New(static_cast<Py_ssize_t>(bytes.size()), 127);
  if (text != nullptr) std::memcpy(PyUnicode_DATA(text), bytes.data(), bytes.size());
  return text;
}

// The least confidence asked for; the default when none is given.
Confidence ConfidenceOf(py::handle name) {
  if (name.ptr() == nullptr) return kDefaultConfidence;
  std::string error;
  const auto confidence = ParseConfidence(Utf8(name).View(), error);
  if (!confidence) throw py::value_error("min_confidence: " + error);
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

// What find() gives of one match, before it becomes a Match.
struct Place {
  std::uint64_t start;
  std::uint64_t end;
  Match match;
};

// Makes the Match of a place, a new reference.
PyObject* NewMatch(const Place& place) {
  PyObject* match = PyStructSequence_New(g_matchType);
  if (match == nullptr) throw py::error_already_set();
  PyStructSequence_SetItem(match, 0, PyLong_FromUnsignedLongLong(place.start));
  PyStructSequence_SetItem(match, 1, PyLong_FromUnsignedLongLong(place.end));
  PyStructSequence_SetItem(match, 2,
                           AsciiObject({place.match.number.data(), place.match.number.size()}));
  PyStructSequence_SetItem(match, 3, NameObject(ConfidenceName(place.match.confidence)));
  PyObject* keyword = Py_None;
  if (place.match.keyword.empty()) {
    Py_INCREF(Py_None);
  } else {
    keyword = NameObject(place.match.keyword);
  }
  PyStructSequence_SetItem(match, 4, keyword);
  if (PyErr_Occurred() != nullptr) {
    Py_DECREF(match);
    throw py::error_already_set();
  }
  // It holds only ints, strs and None, which make no cycles: the garbage
  // collector need not follow a hundred thousand of them.
  PyObject_GC_UnTrack(match);
  return match;
}

void AddMatchType(py::module_& module) {
  static PyStructSequence_Field fields[] = {
      {"start", "Where its first digit is in the str, an index as text[start] takes it."},
      {"end", "One past its last digit: text[start:end] is the SIN as written."},
      {"number", "Its nine digits."},
      {"confidence", "\"low\", \"medium\" or \"high\"."},
      {"keyword", "The keyword or SIN column name that made it high, or None."},
      {nullptr, nullptr},
  };
  static PyStructSequence_Desc description = {
      "mivaro.Match",
      "A SIN that find() found: where it lies in the str and what it is, as a named tuple\n"
      "(start, end, number, confidence, keyword). Frozen: its fields cannot be set.",
      fields, 5};
  g_matchType = PyStructSequence_NewType(&description);
  if (g_matchType == nullptr) throw py::error_already_set();
  module.add_object("Match",
                    py::reinterpret_steal<py::object>(reinterpret_cast<PyObject*>(g_matchType)));
  Py_INCREF(g_matchType);  // kept for NewMatch while the module lives
}

py::list Find(py::handle text, py::handle minimum) {
  const Confidence confidence = ConfidenceOf(minimum);
  const Utf8 utf8(text);
  // One searcher and one list of places per thread, kept from call to call
  // with what they have allocated: a column of short strings is searched a
  // str at a time.
  thread_local std::vector<Place> places;
  places.clear();
  Scanned(utf8.View(), [&](std::string_view all) {
    thread_local Searcher searcher;
    searcher.SetOptions({.minimum = confidence});
    // A str is indexed by code points; so are the searcher's places, a lone
    // surrogate's three bytes counting as one.
    searcher.Search(all, [&](const Found& each) {
      places.push_back({each.start.codePoints, each.end.codePoints, each.match});
    });
    return places.size();
  });
  py::list matches(places.size());
  for (std::size_t i = 0; i < places.size(); ++i) {
    PyList_SET_ITEM(matches.ptr(), static_cast<Py_ssize_t>(i), NewMatch(places[i]));
  }
  // What a huge text needed is not kept for the short ones after it.
  constexpr std::size_t kKeptPlaces = 4096;
  if (places.capacity() > kKeptPlaces) std::vector<Place>().swap(places);
  return matches;
}

py::str Redact(py::handle text, py::handle minimum, bool allDigits) {
  const Confidence confidence = ConfidenceOf(minimum);
  const Utf8 utf8(text);
  std::string redacted(utf8.View());
  const std::uint64_t count = Scanned(utf8.View(), [&](std::string_view) {
    thread_local Redactor redactor;
    redactor.SetOptions({.minimum = confidence, .allDigits = allDigits});
    return redactor.RedactInPlace(redacted);
  });
  // Nothing to hide: the very str.
  if (count == 0) return py::reinterpret_borrow<py::str>(text);
  // Back to a str, lone surrogates and all: only ASCII digits changed.
  PyObject* decoded = PyUnicode_DecodeUTF8(
      redacted.data(), static_cast<Py_ssize_t>(redacted.size()), "surrogatepass");
  if (decoded == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(decoded);
}

// The arguments of a call, by position or keyword, as a METH_FASTCALL |
// METH_KEYWORDS function gets them: each named one, or null where the
// caller left it out.
template <std::size_t N>
std::array<PyObject*, N> Arguments(const char* function, const std::array<const char*, N>& names,
                                   PyObject* const* args, Py_ssize_t count, PyObject* keywords) {
  std::array<PyObject*, N> given{};
  const auto positional = static_cast<std::size_t>(PyVectorcall_NARGS(count));
  if (positional > N) {
    throw py::type_error(std::string(function) + "() takes at most " + std::to_string(N) +
                         " arguments");
  }
  for (std::size_t i = 0; i < positional; ++i) given[i] = args[i];
  const Py_ssize_t named = keywords == nullptr ? 0 : PyTuple_GET_SIZE(keywords);
  for (Py_ssize_t k = 0; k < named; ++k) {
    const std::string_view name = Utf8(PyTuple_GET_ITEM(keywords, k)).View();
    std::size_t i = 0;
    while (i < N && name != names[i]) ++i;
    if (i == N || given[i] != nullptr) {
      throw py::type_error(std::string(function) + "() got " +
                           (i == N ? "an unexpected" : "multiple values for") + " argument '" +
                           std::string(name) + "'");
    }
    given[i] = args[static_cast<std::size_t>(count & ~PY_VECTORCALL_ARGUMENTS_OFFSET) + k];
  }
  if (given[0] == nullptr) {
    throw py::type_error(std::string(function) + "() missing required argument '" + names[0] + "'");
  }
  return given;
}

// Runs a call's body, turning what it throws into the Python exception set.
template <typename Body>
PyObject* Guarded(const Body& body) {
  try {
    return body().release().ptr();
  } catch (py::error_already_set& error) {
    error.restore();
  } catch (const py::builtin_exception& error) {
    error.set_error();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  }
  return nullptr;
}

PyObject* CallFind(PyObject*, PyObject* const* args, Py_ssize_t count, PyObject* keywords) {
  return Guarded([&] {
    const auto given = Arguments<2>("find", {"text", "min_confidence"}, args, count, keywords);
    return Find(given[0], given[1]);
  });
}

PyObject* CallRedact(PyObject*, PyObject* const* args, Py_ssize_t count, PyObject* keywords) {
  return Guarded([&] {
    const auto given =
        Arguments<3>("redact", {"text", "min_confidence", "all_digits"}, args, count, keywords);
    int allDigits = 0;
    if (given[2] != nullptr && (allDigits = PyObject_IsTrue(given[2])) < 0) {
      throw py::error_already_set();
    }
    return Redact(given[0], given[1], allDigits != 0);
  });
}

}  // namespace

void AddScanFunctions(py::module_& module) {
  AddMatchType(module);
  const std::string byDefault(ConfidenceName(kDefaultConfidence));
  static const std::string kFindDoc =
      "find(text: str, min_confidence: str = \"" + byDefault +
      "\") -> list[Match]\n\n"
      "Returns the SINs in a free text (a log, an e-mail, a ticket, a JSON or CSV\n"
      "export), in order, each at least as sure as min_confidence: \"high\" near a\n"
      "keyword (SIN, social insurance, NAS, assurance sociale, ...) or in a SIN\n"
      "column, \"medium\" grouped, \"low\" bare or with a first digit of 8. The same\n"
      "matches as `mivaro-cli scan`; a large text is scanned with the GIL released.";
  static const std::string kRedactDoc =
      "redact(text: str, min_confidence: str = \"" + byDefault +
      "\", all_digits: bool = False) -> str\n\n"
      "Returns the text with the digits of every SIN find() finds replaced by '*',\n"
      "all but the last three (all nine with all_digits); every other character\n"
      "stays, so the text keeps its length and its indices.";
  static PyMethodDef kFunctions[] = {
      {"find", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&CallFind)),
       METH_FASTCALL | METH_KEYWORDS, kFindDoc.c_str()},
      {"redact", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&CallRedact)),
       METH_FASTCALL | METH_KEYWORDS, kRedactDoc.c_str()},
      {nullptr, nullptr, 0, nullptr},
  };
  if (PyModule_AddFunctions(module.ptr(), kFunctions) != 0) throw py::error_already_set();
}

}  // namespace mivaro::python
