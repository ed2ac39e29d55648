// SPDX-License-Identifier: Apache-2.0
// find_in_file(): the SINs inside a file, opened by its contents as
// mivaro-cli scan opens it, each as the record scan --json writes.
#include "files.h"

#include <fcntl.h>
#include <mivaro/files.h>
#include <mivaro/scan.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace mivaro::python {
namespace {

// A match held while the GIL is released, turned into a dict after.
struct Held {
  std::vector<std::string> container;
  Found found;  // its text is not kept
  Place place;
  std::string sheet;
  std::string part;
  std::string attachment;
  std::string fingerprint;
};

class Keeper final : public SearchSink {
 public:
  explicit Keeper(std::vector<Held>& kept) : kept_(kept) {}
  void Begin(const Entry& entry) {
    entry_ = &entry;
    seen_.clear();
  }
  void Matched(const Found& found) override {
    Held held{entry_->container, found, {}, {}, {}, {}, {}};
    held.found.text = held.found.before = held.found.after = {};
    if (entry_->locator != nullptr) held.place = entry_->locator->Locate(found);
    const std::uint64_t key = FingerprintKey(entry_->container, held.place, found);
    held.fingerprint = Fingerprint(key, seen_[key]++);
    held.sheet = held.place.sheet;
    held.part = held.place.part;
    held.attachment = held.place.attachment;
    kept_.push_back(std::move(held));
  }

 private:
  std::vector<Held>& kept_;
  const Entry* entry_ = nullptr;
  std::unordered_map<std::uint64_t, std::uint64_t> seen_;  // this text's fingerprint keys
};

py::dict WhereOf(const Held& held) {
  py::dict where;
  switch (held.place.kind) {
    case PlaceKind::Line:
      where["line"] = held.found.line;
      where["column"] = held.found.column.codePoints;
      break;
    case PlaceKind::Cell:
      where["sheet"] = held.sheet;
      where["cell"] = CellName(held.place.row, held.place.column);
      where["row"] = held.place.row;
      where["column"] = held.place.column;
      break;
    case PlaceKind::Page:
      where["page"] = held.place.page;
      break;
    case PlaceKind::Paragraph:
      where["paragraph"] = held.place.paragraph;
      break;
    case PlaceKind::MailPart:
      where["message"] = held.place.message;
      where["part"] = held.part;
      if (!held.attachment.empty()) where["attachment"] = held.attachment;
      where["line"] = held.place.line;
      where["column"] = held.place.column;
      break;
  }
  return where;
}

py::tuple FindInFile(const std::string& path, const std::string& minimum) {
  std::string error;
  const std::optional<Confidence> confidence = ParseConfidence(minimum, error);
  if (!confidence) throw py::value_error("min_confidence: " + error);
  std::vector<Held> kept;
  std::vector<std::pair<std::string, std::string>> unread;
  {
    py::gil_scoped_release released;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) error = std::strerror(errno);
    if (fd >= 0) {
      Keeper keeper(kept);
      Searcher searcher({.minimum = *confidence});
      const std::unique_ptr<Contents> contents = OpenFile(fd, path);
      while (const std::optional<Entry> entry = contents->Next()) {
        if (entry->kind == EntryKind::Failed) {
          unread.emplace_back(JoinContainer(entry->container), entry->reason);
        } else if (entry->kind == EntryKind::Text) {
          keeper.Begin(*entry);
          if (!searcher.Search(*entry->text, keeper)) {
            unread.emplace_back(JoinContainer(entry->container), entry->text->Error());
          }
        }
      }
      close(fd);
    }
  }
  if (!error.empty()) {
    PyErr_SetObject(PyExc_OSError, py::make_tuple(errno, error, path).ptr());
    throw py::error_already_set();
  }
  py::list matches;
  for (const Held& held : kept) {
    const Match& match = held.found.match;
    py::dict record;
    record["path"] = path;
    record["container"] = py::cast(held.container);
    record["where"] = WhereOf(held);
    record["offset"] = match.offset;
    record["length"] = match.length;
    record["number"] = std::string(match.number.data(), match.number.size());
    record["confidence"] = std::string(ConfidenceName(match.confidence));
    record["fingerprint"] = held.fingerprint;
    record["keyword"] = match.keyword.empty() ? py::object(py::none())
                                              : py::object(py::str(std::string(match.keyword)));
    matches.append(record);
  }
  return py::make_tuple(matches, py::cast(unread));
}

}  // namespace

void AddFileFunctions(py::module_& module) {
  module.def("find_in_file", &FindInFile, py::arg("path"),
             py::arg("min_confidence") = std::string(ConfidenceName(kDefaultConfidence)),
             "find_in_file(path: str, min_confidence: str = \"medium\") -> tuple[list[dict], "
             "list[tuple[str, str]]]\n\n"
             "Returns the SINs inside a file opened by its contents as `mivaro-cli scan`\n"
             "opens it (compressed files, archives, workbooks, documents, PDFs, mail), each\n"
             "a dict as scan --json writes it (path, container, where, offset, length,\n"
             "number, confidence, keyword), and the members it could not read, each\n"
             "(name, reason): a SIN may hide there. Raises OSError when the file cannot\n"
             "be opened. The GIL is released while the file is read.");
}

}  // namespace mivaro::python
