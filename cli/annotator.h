// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mivaro/sin.h>

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/sin_column.h"

namespace mivaro::cli {

// How long a row may be, by default: far beyond any real table's, and small
// enough that a file with no line breaks (or /dev/zero) stops in seconds.
inline constexpr std::size_t kDefaultMaxRowBytes = std::size_t{64} << 20;

struct AnnotateOptions {
  ColumnRequest column;                           // none: the header cell that names a SIN
  bool noHeader = false;                          // the first row is data
  std::optional<char> delimiter;                  // none: a sep= line, or the header decides
  bool summary = false;                           // the counts on standard error
  bool mask = false;                              // no more of a SIN than its last three digits
  std::size_t maxRowBytes = kDefaultMaxRowBytes;  // a longer row stops the run
  std::size_t skipRows = 0;                       // lines above the header, copied through
  Style style = Style::Bare;                      // how sin_number is written
  std::optional<std::string> encoding;            // none: UTF-8, or as a byte-order mark says
};

// Reads "tab" or one ASCII character that can separate CSV cells (not a
// quote, CR or LF); on failure returns nothing and says why in error.
std::optional<char> ParseDelimiter(std::string_view text, std::string& error);

// Reads a CSV table (RFC 4180, LF or CR LF rows) from inputFd and writes it to
// out with every row's cells unchanged and five cells appended that check the
// row's SIN cell, under their own header cells; a table annotated before gets
// its five cells replaced. Rows are written as they are read, so memory is
// bounded by the longest row. Returns the exit status: 0 every SIN valid,
// 1 any invalid or malformed, 2 a usage error, unreadable input, unwritable
// output or a broken or empty table.
int RunAnnotate(const AnnotateOptions& options, int inputFd, std::FILE* out, std::FILE* err);

}  // namespace mivaro::cli
