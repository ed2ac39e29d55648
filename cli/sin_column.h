// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mivaro/scan.h>

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mivaro::cli {

// The names of the cells annotate appends to every row, in order.
inline constexpr std::array<std::string_view, 5> kAnnotateCells{
    "sin_valid", "sin_number", "sin_group", "sin_regions", "sin_error"};

// Returns whether a header cell is one of the library's kSinHeaderNames in
// any case, with or without accents, and with blanks, underscores, hyphens,
// apostrophes, dots and number signs ignored ("S.I.N.", "sin_#",
// "NUMERO D'ASSURANCE SOCIALE").
bool NamesSin(std::string_view headerCell);

// The names, for --help and the manual page: "SIN, SIN Number, ... or ...".
std::string SinHeaderNameList();

// The appended cells' names joined by commas, for --help and the manual page.
std::string AnnotateCellList();

// How the user asks for the SIN column: by a header cell's name, by its
// number counted from 1, or by neither (then by kSinHeaderNames).
struct ColumnRequest {
  std::optional<std::string> name;
  std::optional<std::size_t> number;
};

// The SIN column of a header, or why there is none (a message that quotes
// no cell; the caller adds the header).
struct ColumnChoice {
  std::optional<std::size_t> column;
  std::string problem;
};

// Finds the SIN column among a header row's cells.
ColumnChoice ChooseColumn(std::span<const std::string_view> cells, const ColumnRequest& request);

// Returns how many of a header's cells, at its end, are annotate's own: five
// when the table is annotate's output, else none.
std::size_t AnnotatedCells(std::span<const std::string_view> cells);

// Returns the library's table delimiters with which a header row splits
// into more than one cell and names exactly one SIN column. For a column asked for by number, the
// one that splits the row into the most cells, if any gives enough.
std::vector<char> DelimitersThatWork(std::string_view headerRow, const ColumnRequest& request);

// Returns a delimiter as messages name it: ',' or tab.
std::string DelimiterName(char delimiter);

}  // namespace mivaro::cli
