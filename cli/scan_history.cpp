// SPDX-License-Identifier: Apache-2.0
// scan --git: what each commit added, read from git's patches, and the
// binary files it added or changed, opened as scan opens files.
#include <unordered_map>

#include "cli/git_history.h"
#include "cli/input.h"
#include "cli/report.h"
#include "cli/scan_run.h"

namespace mivaro::cli {
namespace {

// Hands on only the matches on lines a commit added, each with its line's
// number in the commit's version of the file.
class AddedLines final : public SearchSink {
 public:
  AddedLines(SearchSink& sink, const CommitText& text) : sink_(sink), text_(text) {}
  void Matched(const Found& found) override {
    const std::uint64_t index = found.line - 1;
    if (found.line == 0 || index >= text_.added.size() || !text_.added[index]) return;
    Found placed = found;
    placed.line = text_.lines[index];
    sink_.Matched(placed);
  }

 private:
  SearchSink& sink_;
  const CommitText& text_;
};

// Counts the fingerprint keys of the findings in a file's bytes.
void KeysOf(std::string_view bytes, const std::string& path, ScanRun& scan,
            std::unordered_map<std::uint64_t, std::uint64_t>& keys) {
  const std::unique_ptr<Contents> contents = OpenBytes(bytes, path, scan.open);
  while (const std::optional<Entry> entry = contents->Next()) {
    if (entry->kind != EntryKind::Text) continue;
    struct Counter final : SearchSink {
      Counter(const Entry& entry, std::unordered_map<std::uint64_t, std::uint64_t>& keys)
          : entry(entry), keys(keys) {}
      void Matched(const Found& found) override {
        const Place place = entry.locator != nullptr ? entry.locator->Locate(found) : Place{};
        ++keys[FingerprintKey(entry.container, place, found)];
      }
      const Entry& entry;
      std::unordered_map<std::uint64_t, std::uint64_t>& keys;
    } counter(*entry, keys);
    scan.searcher.Search(*entry->text, counter);
  }
}

// Hands on only the findings a file's version before a commit did not have.
class NewFindings final : public SearchSink {
 public:
  NewFindings(MatchWriter& writer, const Entry& entry,
              std::unordered_map<std::uint64_t, std::uint64_t>& before)
      : writer_(writer), entry_(entry), before_(before) {}
  void Matched(const Found& found) override {
    const Place place = entry_.locator != nullptr ? entry_.locator->Locate(found) : Place{};
    const auto had = before_.find(FingerprintKey(entry_.container, place, found));
    if (had != before_.end() && had->second > 0) {
      --had->second;
      return;
    }
    writer_.MatchedAt(found, place);
  }

 private:
  MatchWriter& writer_;
  const Entry& entry_;
  std::unordered_map<std::uint64_t, std::uint64_t>& before_;
};

// A binary file a commit added or changed (a workbook, an archive), which
// git's patch cannot show: opened as scan opens files, its findings that
// the version before the commit did not have.
void ScanCommitBlob(const CommitBlob& blob, ScanRun& scan) {
  const std::string commit = blob.commit.substr(0, 12);
  std::string bytes;
  std::string error;
  std::unordered_map<std::uint64_t, std::uint64_t> before;
  const std::uint64_t most = scan.open.limits.memory;
  if (!blob.before.empty() && ReadGitBlob(blob.before, most, bytes, error)) {
    KeysOf(bytes, blob.path, scan, before);
  }
  if (!ReadGitBlob(blob.after, most, bytes, error)) {
    Report(scan.err, "cannot read {}!{}: {}", commit, blob.path, error);
    scan.totals.failed = true;
    return;
  }
  const std::unique_ptr<Contents> contents = OpenBytes(bytes, blob.path, scan.open);
  scan.writer.BeginFile(blob.path);
  scan.writer.SetCommit(blob.commit, blob.date);
  while (std::optional<Entry> entry = contents->Next()) {
    entry->container.insert(entry->container.begin(), commit);
    if (entry->kind == EntryKind::Opened) {
      ++scan.totals.opened[std::string(entry->format)];
    } else if (entry->kind != EntryKind::Text) {
      NameSkipped(*entry, scan);
    } else {
      entry->container.erase(entry->container.begin());
      NewFindings fresh(scan.writer, *entry, before);
      std::vector<std::string> named = entry->container;
      named.insert(named.begin(), commit);
      scan.writer.BeginText(named, nullptr, false);
      if (!scan.searcher.Search(*entry->text, fresh)) {
        Report(scan.err, "cannot read {}: {}", JoinContainer(named), ReadProblem(*entry->text));
        scan.totals.failed = true;
      }
      ++scan.totals.files;
    }
  }
  scan.totals.matches += scan.writer.FoundInFile();
  scan.totals.filesWithMatches += scan.writer.FoundInFile() != 0 ? 1 : 0;
  scan.writer.FileDone();
}

}  // namespace

void ScanHistory(const std::string& range, ScanRun& scan) {
  std::string error;
  const bool read = ReadGitHistory(
      range, scan.options.paths,
      [&](const CommitText& text) {
        if (!scan.writer.Ok()) return;
        const std::vector<std::string> container{text.commit.substr(0, 12), text.path};
        scan.writer.BeginFile(text.path);
        scan.writer.SetCommit(text.commit, text.date);
        scan.writer.BeginText(container, nullptr, false);
        AddedLines added(scan.writer, text);
        scan.searcher.Search(text.text, added);
        ++scan.totals.files;
        scan.totals.bytes += text.text.size();
        scan.totals.matches += scan.writer.FoundInFile();
        scan.totals.filesWithMatches += scan.writer.FoundInFile() != 0 ? 1 : 0;
        scan.writer.FileDone();
        scan.progress.Update(scan.totals);
      },
      [&](const CommitBlob& blob) {
        if (scan.writer.Ok()) ScanCommitBlob(blob, scan);
      },
      error);
  if (!read) {
    Report(scan.err, "cannot read the history: {}", error);
    scan.totals.failed = true;
  }
}

}  // namespace mivaro::cli
