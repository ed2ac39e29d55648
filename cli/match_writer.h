// SPDX-License-Identifier: Apache-2.0
// What scan writes: a line (or JSON object) per match, saying where it lies
// in the terms of its file, and the totals that end a scan.
#pragma once

#include <mivaro/files.h>
#include <mivaro/scan.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cli/output.h"
#include "cli/scan.h"

namespace mivaro::cli {

// Writes what is found: a line per match, or per file with -l and -c.
class MatchWriter final : public SearchSink, public BufferedOutput {
 public:
  MatchWriter(std::FILE* stream, const ScanOptions& options)
      : BufferedOutput(stream), options_(options) {}

  // Starts a file given (or met in a folder).
  void BeginFile(std::string_view path) {
    path_ = path;
    found_ = 0;
  }
  // Starts one of its texts: the chain of names to it, and what places its
  // matches (null for lines and columns).
  void BeginText(const std::vector<std::string>& container, Locator* locator);
  std::uint64_t FoundInFile() const { return found_; }
  void Matched(const Found& found) override;
  // Ends the file: its name with -l, its count with -c.
  void FileDone();

 private:
  void WriteJson(const Found& found, const Place& place, std::string_view digits);
  void WriteText(const Found& found, const Place& place);

  const ScanOptions& options_;
  std::string_view path_;
  const std::vector<std::string>* container_ = nullptr;
  std::string name_;  // the chain joined by "!"
  Locator* locator_ = nullptr;
  std::uint64_t found_ = 0;
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
  bool failed = false;
};

// The summary's words: "scanned 3 files, 120 bytes: 2 SINs in 1 file", then
// what was skipped or could not be read and what was opened, each only when
// there was any; timing follows the bytes.
std::string SummaryOf(const Totals& totals, std::string_view timing);

}  // namespace mivaro::cli
