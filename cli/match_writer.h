// SPDX-License-Identifier: Apache-2.0
// What scan writes: a line (or JSON object) per match, saying where it lies
// in the terms of its file, and the totals that end a scan.
#pragma once

#include <mivaro/files.h>
#include <mivaro/scan.h>

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/findings_filter.h"
#include "cli/output.h"
#include "cli/scan.h"

namespace mivaro::cli {

// Writes what is found: a line per match, or per file with -l and -c, or a
// SARIF log; leaves out what the filter says to.
class MatchWriter final : public SearchSink, public BufferedOutput {
 public:
  MatchWriter(std::FILE* stream, const ScanOptions& options, const FindingsFilter& filter)
      : BufferedOutput(stream), options_(options), filter_(filter) {}

  // Starts and ends the whole report (a SARIF log's run; nothing otherwise).
  // notes are what could not be read, for the log's invocation.
  void BeginReport();
  void EndReport(bool successful, const std::vector<std::string>& notes);

  // Starts a file given (or met in a folder).
  void BeginFile(std::string_view path) {
    path_ = path;
    found_ = 0;
  }
  // Starts one of its texts: the chain of names to it, what places its
  // matches (null for lines and columns), and whether its bytes are the
  // file's own (not decoded from another encoding, nor inside a container).
  void BeginText(const std::vector<std::string>& container, Locator* locator, bool asIs);
  std::uint64_t FoundInFile() const { return found_; }
  // Names the commit the texts that follow come from (scan --git), with
  // its date; "" for none.
  void SetCommit(std::string commit, std::string date) {
    commit_ = std::move(commit);
    date_ = std::move(date);
  }
  // Matches left out: numbers allowed, findings in the baseline.
  std::uint64_t Allowed() const { return allowed_; }
  std::uint64_t InBaseline() const { return inBaseline_; }
  void Matched(const Found& found) override;
  // A match whose place its text's Locator has already given.
  void MatchedAt(const Found& found, const Place& place);
  // Ends the file: its name with -l, its count with -c.
  void FileDone();

 private:
  // -l and -c: files named or counted, not matches.
  bool Listed() const { return options_.filesWithMatches || options_.count; }
  // Whether matches need their fingerprints: to be written, or looked up.
  bool Fingerprinted() const { return options_.json || options_.sarif || filter_.HasBaseline(); }
  std::string FingerprintOf(const Found& found, const Place& place);
  void WriteJson(const Found& found, const Place& place, std::string_view fingerprint);
  void WriteText(const Found& found, const Place& place);
  void WriteSarif(const Found& found, const Place& place, std::string_view fingerprint);
  void AppendContainer(TextBuffer& out) const;
  void AppendWhere(TextBuffer& out, const Found& found, const Place& place) const;

  const ScanOptions& options_;
  const FindingsFilter& filter_;
  std::string_view path_;
  const std::vector<std::string>* container_ = nullptr;
  std::string name_;  // the chain joined by "!"
  Locator* locator_ = nullptr;
  bool asIs_ = false;
  std::string commit_;
  std::string date_;
  std::unordered_map<std::uint64_t, std::uint64_t> seen_;  // this text's fingerprint keys
  std::uint64_t found_ = 0;
  std::uint64_t allowed_ = 0;
  std::uint64_t inBaseline_ = 0;
  std::uint64_t results_ = 0;  // in the SARIF log so far
};

// What the whole scan has done, for the progress line and the summary.
struct Totals {
  std::uint64_t files = 0;  // texts read
  std::uint64_t binary = 0;
  std::uint64_t special = 0;  // pipes, sockets and devices met in a folder
  std::uint64_t unopened = 0;
  std::uint64_t unreadable = 0;                              // members that could not be read whole
  std::map<std::string, std::uint64_t, std::less<>> opened;  // containers, by kind
  std::uint64_t bytes = 0;
  std::uint64_t matches = 0;
  std::uint64_t filesWithMatches = 0;
  std::uint64_t allowed = 0;     // left out: numbers allowed
  std::uint64_t inBaseline = 0;  // left out: findings in the baseline
  bool failed = false;
};

// The summary's words: "scanned 3 files, 120 bytes: 2 SINs in 1 file", then
// what was skipped or could not be read and what was opened, each only when
// there was any; timing follows the bytes.
std::string SummaryOf(const Totals& totals, std::string_view timing);

}  // namespace mivaro::cli
