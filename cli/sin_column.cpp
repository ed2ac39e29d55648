// SPDX-License-Identifier: Apache-2.0
#include "cli/sin_column.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>

#include "cli/entry_parser.h"
#include "text/fold.h"
#include "text/utf8.h"

namespace mivaro::cli {

using text::DecodeUtf8;
using text::Fold;
using text::Folded;
using text::IsBlank;
using text::TrimBlanks;
using text::Utf8Step;
namespace {

std::string JoinedList(std::span<const std::string_view> names, std::string_view last) {
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) list += i + 1 == names.size() ? last : ", ";
    list += names[i];
  }
  return list;
}

}  // namespace

bool NamesSin(std::string_view headerCell) {
  return SinColumnName(headerCell).has_value();
}

std::string SinHeaderNameList() {
  return JoinedList(kSinHeaderNames, " or ");
}

std::string AnnotateCellList() {
  std::string list;
  for (const std::string_view name : kAnnotateCells) {
    if (!list.empty()) list += ',';
    list += name;
  }
  return list;
}

ColumnChoice ChooseColumn(std::span<const std::string_view> cells, const ColumnRequest& request) {
  if (request.number) {
    if (*request.number > cells.size()) {
      return {std::nullopt,
              fmt::format("--column {}: the header has {} cells", *request.number, cells.size())};
    }
    return {*request.number - 1, ""};
  }
  std::vector<std::size_t> matches;
  if (request.name) {
    const std::string wanted = Folded(TrimBlanks(*request.name), Fold::CaseOnly);
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (Folded(TrimBlanks(cells[i]), Fold::CaseOnly, wanted.size()) == wanted) {
        matches.push_back(i);
      }
    }
    if (matches.size() != 1) {
      return {std::nullopt,
              fmt::format("--column '{}': {} in the header", *request.name,
                          matches.empty() ? "no such cell" : "more than one such cell")};
    }
  } else {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (NamesSin(cells[i])) matches.push_back(i);
    }
    if (matches.size() != 1) {
      return {std::nullopt, fmt::format("{} of the header names a SIN; choose one with --column",
                                        matches.empty() ? "no cell" : "more than one cell")};
    }
  }
  return {matches.front(), ""};
}

std::size_t AnnotatedCells(std::span<const std::string_view> cells) {
  if (cells.size() < kAnnotateCells.size()) return 0;
  const auto own = cells.subspan(cells.size() - kAnnotateCells.size());
  return std::equal(own.begin(), own.end(), kAnnotateCells.begin()) ? kAnnotateCells.size() : 0;
}

std::vector<char> DelimitersThatWork(std::string_view headerRow, const ColumnRequest& request) {
  std::vector<char> working;
  std::size_t mostCells = 1;
  for (const char delimiter : kTableDelimiters) {
    const auto cells = SplitTableRow(headerRow, delimiter);
    if (!cells) continue;
    const std::vector<std::string_view> views(cells->begin(), cells->end());
    const auto user = std::span(views).first(views.size() - AnnotatedCells(views));
    if (request.number) {
      // Any delimiter gives a first cell: the one that splits the most wins.
      if (user.size() > mostCells && user.size() >= *request.number) {
        mostCells = user.size();
        working.assign(1, delimiter);
      }
    } else if (views.size() > 1 && ChooseColumn(user, request).column) {
      working.push_back(delimiter);
    }
  }
  return working;
}

std::string DelimiterName(char delimiter) {
  return delimiter == '\t' ? "tab" : fmt::format("'{}'", delimiter);
}

}  // namespace mivaro::cli
