// SPDX-License-Identifier: Apache-2.0
#include "bulk.h"

#include <mivaro/sin.h>

#include <string_view>

#include "strings.h"

namespace mivaro::python {
namespace {

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

// One byte per entry: 1 valid, 0 not.
std::vector<char> ValidBytes(py::handle entries) {
  std::vector<char> all;
  EachChunk(entries, [&](const Chunk& chunk) {
    const std::vector<std::string_view>& views = chunk.Views();
    const std::size_t start = all.size();
    all.resize(start + views.size());
    py::gil_scoped_release released;
    for (std::size_t i = 0; i < views.size(); ++i) all[start + i] = IsValid(views[i]) ? 1 : 0;
  });
  return all;
}

}  // namespace

std::vector<PyResult> CheckMany(py::handle entries) {
  std::vector<PyResult> all;
  std::vector<Result> results;
  EachChunk(entries, [&](const Chunk& chunk) {
    const std::vector<std::string_view>& views = chunk.Views();
    results.resize(views.size());
    {
      py::gil_scoped_release released;
      for (std::size_t i = 0; i < views.size(); ++i) results[i] = Check(views[i]);
    }
    for (std::size_t i = 0; i < views.size(); ++i) {
      all.push_back(PyResult{py::reinterpret_borrow<py::str>(chunk.Entry(i)), results[i]});
    }
  });
  return all;
}

py::object IsValidMany(py::handle entries) {
  const py::handle type = py::type::handle_of(entries);
  const bool numpyArray = py::str(type.attr("__module__")).cast<std::string>() == "numpy" &&
                          py::str(type.attr("__name__")).cast<std::string>() == "ndarray";
  if (numpyArray) {
    const py::module_ numpy = py::module_::import("numpy");
    const std::vector<char> valid = ValidBytes(entries.attr("ravel")().attr("tolist")());
    const py::bytes bytes(valid.data(), valid.size());
    return numpy.attr("frombuffer")(bytes, py::arg("dtype") = numpy.attr("bool_"))
        .attr("reshape")(entries.attr("shape"))
        .attr("copy")();
  }
  const std::vector<char> valid = ValidBytes(entries);
  py::list list(valid.size());
  for (std::size_t i = 0; i < valid.size(); ++i) {
    PyObject* answer = valid[i] != 0 ? Py_True : Py_False;
    Py_INCREF(answer);
    PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(i), answer);
  }
  return list;
}

}  // namespace mivaro::python
