// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mivaro/files.h>
#include <mivaro/scan.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace mivaro::cli {

struct ScanOptions {
  std::vector<std::string> paths;  // files and folders; none or "-": standard input
  Confidence minimum = kDefaultConfidence;
  bool json = false;
  bool unmasked = false;          // show the whole number, not its last three digits
  bool filesWithMatches = false;  // name each file with a match, once
  bool count = false;             // each file's number of matches
  std::optional<std::string> encoding;
  bool progress = false;     // a progress line on err while the scan is long
  bool noOpen = false;       // read every file as bytes, opening no container
  bool listSkipped = false;  // name each file skipped on err
  OpenLimits limits;
  bool sarif = false;                   // a SARIF 2.1.0 log instead of lines
  std::optional<std::string> output;    // -o: the report's file, else standard output
  std::optional<std::string> allow;     // numbers never reported
  std::optional<std::string> baseline;  // an earlier report: its findings left out
  std::optional<std::string> git;       // a range of commits: what each added
};

// The keywords, for --help and the manual page: "social insurance, ...,
// SIN, NAS (in capitals)".
std::string KeywordList();

// Scans every file for SINs and writes one line (or JSON object) per match;
// binary files are skipped and counted, a file that cannot be read is named
// on err and the rest are scanned. Ends with a summary on err. Returns 0 when
// something was found, 1 when nothing, 2 on any error.
int RunScan(const ScanOptions& options, int stdinFd, std::FILE* out, std::FILE* err);

}  // namespace mivaro::cli
