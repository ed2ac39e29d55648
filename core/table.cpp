// SPDX-License-Identifier: Apache-2.0
// Tables: reading a header row and the SIN column it names, for the scanner
// and for mivaro-cli annotate alike.
#include <algorithm>
#include <array>

#include "mivaro/scan.h"
#include "text/fold.h"
#include "text/utf8.h"

namespace mivaro {

std::optional<std::string_view> SinColumnName(std::string_view headerCell) {
  // The names folded once: a scan reads a header row in every file it opens.
  static const std::array<std::string, kSinHeaderNames.size()> kFolded = [] {
    std::array<std::string, kSinHeaderNames.size()> folded;
    for (std::size_t i = 0; i < folded.size(); ++i) {
      folded[i] = text::Folded(kSinHeaderNames[i], text::Fold::Spelling);
    }
    return folded;
  }();
  std::size_t longest = 0;
  for (const std::string_view name : kSinHeaderNames) longest = std::max(longest, name.size());
  const std::string folded = text::Folded(headerCell, text::Fold::Spelling, longest);
  for (std::size_t i = 0; i < kFolded.size(); ++i) {
    if (kFolded[i] == folded) return kSinHeaderNames[i];
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> SplitTableRow(std::string_view row, char delimiter) {
  std::vector<std::string> cells;
  if (row.empty()) return cells;
  // Where the reading is: at a cell's start, in a cell without quotes, in a
  // quoted cell, or just after a quote in one (its end, or the first of two).
  enum class In { Start, Plain, Quoted, AfterQuote };
  In in = In::Start;
  std::string cell;
  for (const char c : row) {
    switch (in) {
      case In::Start:
      case In::Plain:
        if (c == delimiter) {
          cells.push_back(std::move(cell));
          cell.clear();
          in = In::Start;
        } else if (c == '"') {
          if (in == In::Plain) return std::nullopt;  // a quote inside a cell not quoted
          in = In::Quoted;
        } else {
          cell += c;
          in = In::Plain;
        }
        break;
      case In::Quoted:
        if (c == '"') {
          in = In::AfterQuote;
        } else {
          cell += c;
        }
        break;
      case In::AfterQuote:
        if (c == '"') {
          cell += '"';
          in = In::Quoted;
        } else if (c == delimiter) {
          cells.push_back(std::move(cell));
          cell.clear();
          in = In::Start;
        } else {
          return std::nullopt;  // something after a quoted cell's closing quote
        }
        break;
    }
  }
  if (in == In::Quoted) return std::nullopt;  // a quoted cell never closed
  cells.push_back(std::move(cell));
  return cells;
}

std::vector<SinColumn> FindSinColumns(std::string_view headerRow) {
  std::vector<SinColumn> columns;
  for (const char delimiter : kTableDelimiters) {
    // More than one cell needs the delimiter; most first lines of a text have none.
    if (headerRow.find(delimiter) == std::string_view::npos) continue;
    const auto cells = SplitTableRow(headerRow, delimiter);
    if (!cells || cells->size() < 2) continue;
    for (std::size_t index = 0; index < cells->size(); ++index) {
      if (const auto name = SinColumnName((*cells)[index])) {
        columns.push_back({delimiter, index, *name});
      }
    }
  }
  return columns;
}

}  // namespace mivaro
