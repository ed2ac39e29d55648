// SPDX-License-Identifier: Apache-2.0
// The C API of opened files (mivaro_search_file, which forwards here):
// OpenFile's walk, each text searched, each match placed, with no exception
// crossing it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "c_api_text.h"
#include "core/files_entry.h"
#include "mivaro/files.h"

namespace {

using mivaro::detail::CopyCut;

class FileSink final : public mivaro::SearchSink {
 public:
  FileSink(mivaro_file_sink sink, void* context) : sink_(sink), context_(context) {}
  void Begin(const mivaro::Entry& entry) {
    container_ = mivaro::JoinContainer(entry.container);
    locator_ = entry.locator;
  }
  void Matched(const mivaro::Found& found) override {
    ++count_;
    if (sink_ == nullptr) return;
    const mivaro::Place place = locator_ != nullptr ? locator_->Locate(found) : mivaro::Place{};
    const mivaro_found match = mivaro::detail::FoundForC(found);
    const std::string sheet(place.sheet);
    const std::string part(place.part);
    const std::string attachment(place.attachment);
    mivaro_file_found out{};
    out.found = &match;
    out.container = container_.c_str();
    out.kind = static_cast<mivaro_place_kind>(place.kind);
    out.sheet = sheet.c_str();
    out.row = place.row;
    out.column = place.column;
    out.page = place.page;
    out.paragraph = place.paragraph;
    out.message = place.message;
    out.part = part.c_str();
    out.line = place.line;
    out.attachment = attachment.c_str();
    sink_(&out, context_);
  }
  std::int64_t Count() const { return count_; }

 private:
  mivaro_file_sink sink_;
  void* context_;
  std::string container_;
  mivaro::Locator* locator_ = nullptr;
  std::int64_t count_ = 0;
};

}  // namespace

namespace mivaro::detail {

int64_t SearchFileHere(const char* path, mivaro_confidence minimum, mivaro_file_sink sink,
                       void* context, uint64_t* unread, char* error, size_t size) {
  if (unread != nullptr) *unread = 0;
  CopyCut("", error, size);
  if (path == nullptr || !mivaro::detail::KnownConfidence(minimum)) {
    CopyCut(path == nullptr ? "no path" : "unknown confidence", error, size);
    return -1;
  }
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    CopyCut(std::strerror(errno), error, size);
    return -1;
  }
  try {
    std::string problems;
    FileSink each(sink, context);
    mivaro::Searcher searcher({.minimum = static_cast<mivaro::Confidence>(minimum)});
    const std::unique_ptr<mivaro::Contents> contents = mivaro::OpenFile(fd, path);
    while (const std::optional<mivaro::Entry> entry = contents->Next()) {
      std::string problem;
      if (entry->kind == mivaro::EntryKind::Failed) problem = entry->reason;
      if (entry->kind == mivaro::EntryKind::Text) {
        each.Begin(*entry);
        if (!searcher.Search(*entry->text, each)) problem = std::string(entry->text->Error());
      }
      if (problem.empty()) continue;
      if (unread != nullptr) ++*unread;
      problems += mivaro::JoinContainer(entry->container) + ": " + problem + "\n";
    }
    close(fd);
    CopyCut(problems, error, size);
    return each.Count();
  } catch (const std::bad_alloc&) {
    close(fd);
    CopyCut("out of memory", error, size);
    return -1;
  }
}

}  // namespace mivaro::detail
