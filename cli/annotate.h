// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace mivaro::cli {

// How long a row may be, by default: far beyond any real table's, and small
// enough that a file with no line breaks (or /dev/zero) stops in seconds.
inline constexpr std::size_t kDefaultMaxRowBytes = std::size_t{64} << 20;

struct AnnotateOptions {
  std::optional<std::string> column;  // a header cell, or a 1-based number
  bool noHeader = false;              // the first row is data
  char delimiter = ',';               // for input and output
  bool summary = false;               // the counts on standard error
  bool mask = false;                  // show no more of a SIN than its last three digits
  std::size_t maxRowBytes = kDefaultMaxRowBytes;  // a longer row stops the run
};

// The names of the cells annotate appends to every row, in order.
inline constexpr std::string_view kAnnotateHeader =
    "sin_valid,sin_number,sin_group,sin_regions,sin_error";

// Reads "tab" or one ASCII character that can separate CSV cells (not a
// quote, CR or LF); on failure returns nothing and says why in error.
std::optional<char> ParseDelimiter(std::string_view text, std::string& error);

// The names of a SIN column in English and French.
inline constexpr std::array<std::string_view, 4> kSinHeaderNames{
    "SIN", "NAS", "Social Insurance Number", "Numéro d'assurance sociale"};

// Returns whether a header cell is one of kSinHeaderNames in any case, with
// or without accents, and with blanks, underscores, hyphens, apostrophes, dots
// and number signs ignored ("S.I.N.", "sin_#", "NUMERO D'ASSURANCE SOCIALE").
bool NamesSin(std::string_view headerCell);

// The names, for --help and the manual page: "SIN, NAS, ... or ...".
std::string SinHeaderNameList();

// Reads a CSV table (RFC 4180, LF or CR LF rows, UTF-8 with or without a
// byte-order mark) from inputFd and writes it to out with every row's cells
// unchanged and five cells appended that check the row's SIN cell. Rows are
// written as they are read, so memory is bounded by the longest row. Returns
// the exit status: 0 every SIN valid, 1 any invalid, malformed or missing,
// 2 a usage error, unreadable input, unwritable output or a broken table.
int RunAnnotate(const AnnotateOptions& options, int inputFd, std::FILE* out, std::FILE* err);

}  // namespace mivaro::cli
