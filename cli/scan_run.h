// SPDX-License-Identifier: Apache-2.0
// What one run of scan shares between its sources: the files and folders
// named (scan.cpp) and a repository's history (scan_history.cpp).
#pragma once

#include <mivaro/files.h>
#include <mivaro/scan.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/match_writer.h"
#include "cli/scan.h"

namespace mivaro::cli {

// A line on a terminal's standard error that says how far a long scan is.
class Progress {
 public:
  Progress(std::FILE* err, bool enabled) : err_(err), enabled_(enabled) {}

  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

  void Update(const Totals& totals) {
    if (!enabled_) return;
    const double seconds = Seconds();
    if (seconds < 1.0 || seconds - shown_ < 0.2) return;
    shown_ = seconds;
    std::fprintf(err_, "\rmivaro-cli: scanning: %llu files, %.1f MB, %.0f MB/s\x1B[K",
                 static_cast<unsigned long long>(totals.files), totals.bytes / 1e6,
                 totals.bytes / 1e6 / seconds);
    std::fflush(err_);
  }

  void Clear() {
    if (enabled_ && shown_ > 0) std::fputs("\r\x1B[K", err_);
  }

 private:
  std::FILE* err_;
  bool enabled_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  double shown_ = 0;
};

// Everything one run of scan shares.
struct ScanRun {
  const ScanOptions& options;
  MatchWriter& writer;
  Searcher& searcher;
  Totals& totals;
  Progress& progress;
  std::FILE* err;
  OpenOptions open;                // how every file is opened
  std::vector<std::string> notes;  // what could not be read, for a SARIF log
};

// The most of what could not be read a SARIF log names; the summary counts all.
constexpr std::size_t kMostNotes = 1000;

// Names what was not read on err: always what could not be read (a SIN may
// hide there), and with --list-skipped what was skipped.
void NameSkipped(const Entry& entry, ScanRun& scan);

// Scans what each commit of a range added, file by file (scan --git).
void ScanHistory(const std::string& range, ScanRun& scan);

}  // namespace mivaro::cli
