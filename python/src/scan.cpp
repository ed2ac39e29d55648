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

// What find() gives of one match, before it becomes a Match.
struct Place {
  std::uint64_t start;
  std::uint64_t end;
  Match match;
};

// A Match holds its fields as C values and makes their Python objects when
// they are read: a text with a hundred thousand SINs makes a hundred
// thousand small objects, not half a million.
struct MatchObject {
  PyObject_HEAD Py_ssize_t start;
  Py_ssize_t end;
  Number number;
  Confidence confidence;
  std::string_view keyword;  // the library's static text; "" for none
};

const MatchObject& Fields(PyObject* self) {
  return *reinterpret_cast<const MatchObject*>(self);
}

PyObject* GetStart(PyObject* self, void*) {
  return PyLong_FromSsize_t(Fields(self).start);
}

PyObject* GetEnd(PyObject* self, void*) {
  return PyLong_FromSsize_t(Fields(self).end);
}

PyObject* GetNumber(PyObject* self, void*) {
  return AsciiObject({Fields(self).number.data(), Fields(self).number.size()});
}

PyObject* GetConfidence(PyObject* self, void*) {
  return Guarded([&] {
    return py::reinterpret_steal<py::object>(NameObject(ConfidenceName(Fields(self).confidence)));
  });
}

PyObject* GetKeyword(PyObject* self, void*) {
  if (Fields(self).keyword.empty()) Py_RETURN_NONE;
  return Guarded(
      [&] { return py::reinterpret_steal<py::object>(NameObject(Fields(self).keyword)); });
}

// The fields in their order, as a Match shows them.
constexpr std::array<getter, 5> kMatchFields{GetStart, GetEnd, GetNumber, GetConfidence,
                                             GetKeyword};

// The fields as a tuple, a new reference, or null with the error set.
PyObject* FieldTuple(PyObject* self) {
  PyObject* tuple = PyTuple_New(kMatchFields.size());
  for (std::size_t i = 0; tuple != nullptr && i < kMatchFields.size(); ++i) {
    PyObject* field = kMatchFields[i](self, nullptr);
    if (field == nullptr) {
      Py_CLEAR(tuple);
    } else {
      PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), field);
    }
  }
  return tuple;
}

PyObject* CompareMatches(PyObject* self, PyObject* other, int op) {
  if (Py_TYPE(other) != Py_TYPE(self) || (op != Py_EQ && op != Py_NE)) {
    Py_RETURN_NOTIMPLEMENTED;
  }
  const MatchObject& a = Fields(self);
  const MatchObject& b = Fields(other);
  const bool equal = a.start == b.start && a.end == b.end && a.number == b.number &&
                     a.confidence == b.confidence && a.keyword == b.keyword;
  return PyBool_FromLong(equal == (op == Py_EQ));
}

Py_hash_t HashMatch(PyObject* self) {
  PyObject* fields = FieldTuple(self);
  if (fields == nullptr) return -1;
  const Py_hash_t hash = PyObject_Hash(fields);
  Py_DECREF(fields);
  return hash;
}

// Match(start=14, end=25, number='046454286', confidence='high', keyword='SIN')
PyObject* ShowMatch(PyObject* self) {
  PyObject* fields = FieldTuple(self);
  if (fields == nullptr) return nullptr;
  PyObject* shown = PyUnicode_FromFormat(
      "Match(start=%R, end=%R, number=%R, confidence=%R, keyword=%R)", PyTuple_GET_ITEM(fields, 0),
      PyTuple_GET_ITEM(fields, 1), PyTuple_GET_ITEM(fields, 2), PyTuple_GET_ITEM(fields, 3),
      PyTuple_GET_ITEM(fields, 4));
  Py_DECREF(fields);
  return shown;
}

// Makes the Match of a place, a new reference.
PyObject* NewMatch(const Place& place) {
  MatchObject* match = PyObject_New(MatchObject, g_matchType);
  if (match == nullptr) throw py::error_already_set();
  match->start = static_cast<Py_ssize_t>(place.start);
  match->end = static_cast<Py_ssize_t>(place.end);
  match->number = place.match.number;
  match->confidence = place.match.confidence;
  match->keyword = place.match.keyword;
  return reinterpret_cast<PyObject*>(match);
}

void AddMatchType(py::module_& module) {
  static PyGetSetDef getters[] = {
      {"start", GetStart, nullptr,
       "Where its first digit is in the str, an index as text[start] takes it.", nullptr},
      {"end", GetEnd, nullptr, "One past its last digit: text[start:end] is the SIN as written.",
       nullptr},
      {"number", GetNumber, nullptr, "Its nine digits.", nullptr},
      {"confidence", GetConfidence, nullptr, "\"low\", \"medium\" or \"high\".", nullptr},
      {"keyword", GetKeyword, nullptr, "The keyword or SIN column name that made it high, or None.",
       nullptr},
      {nullptr, nullptr, nullptr, nullptr, nullptr},
  };
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>("A SIN that find() found: where it lies in the str and what "
                                    "it is. Frozen: its fields cannot be set.")},
      {Py_tp_getset, getters},
      {Py_tp_richcompare, reinterpret_cast<void*>(CompareMatches)},
      {Py_tp_hash, reinterpret_cast<void*>(HashMatch)},
      {Py_tp_repr, reinterpret_cast<void*>(ShowMatch)},
      {0, nullptr},
  };
  // Made only by find(); it holds no objects, so the collector never looks
  // at it.
  static PyType_Spec description = {
      "mivaro.Match", sizeof(MatchObject), 0,
      Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION, slots};
  PyObject* type = PyType_FromSpec(&description);
  if (type == nullptr) throw py::error_already_set();
  g_matchType = reinterpret_cast<PyTypeObject*>(type);
  // The module's reference keeps it for NewMatch while the module lives.
  module.add_object("Match", py::reinterpret_steal<py::object>(type));
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
