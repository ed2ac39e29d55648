// SPDX-License-Identifier: Apache-2.0
#include "cli/table_probe.h"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "cli/csv.h"
#include "cli/csv_reader.h"
#include "cli/entry_parser.h"
#include "cli/records.h"
#include "cli/sin_column.h"

namespace mivaro::cli {
namespace {

using namespace std::string_view_literals;

// How much of a row a message quotes.
constexpr std::size_t kQuotedRowBytes = 400;

// Returns the delimiter an Excel "sep=X" line sets, for the line without its
// line break.
std::optional<char> SepLine(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line.size() != 5 || !line.starts_with("sep=")) return std::nullopt;
  return line[4];
}

}  // namespace

TableProbe::Outcome TableProbe::Look(std::string_view bytes, bool atEnd) {
  if (outcome_ != Outcome::More) return outcome_;
  pending_.append(bytes);
  if (inPreamble_) TakePreamble(atEnd);
  if (!inPreamble_ && outcome_ == Outcome::More) FindHeader(atEnd);
  if (outcome_ == Outcome::More && pending_.size() - tableAt_ > options_.maxRowBytes) {
    outcome_ = Outcome::Broken;
    problem_ = RowTooLongMessage(line_, options_.maxRowBytes);
  }
  return outcome_;
}

// Takes the sep= line and the lines to skip, as far as whole lines allow.
void TableProbe::TakePreamble(bool atEnd) {
  while (true) {
    const std::size_t newline = pending_.find('\n', tableAt_);
    if (newline == std::string::npos && !atEnd) return;
    const std::size_t end = newline == std::string::npos ? pending_.size() : newline + 1;
    const std::string_view line = std::string_view(pending_).substr(tableAt_, end - tableAt_);
    bool copied = false;
    if (!sawFirstLine_) {
      sawFirstLine_ = true;
      sepDelimiter_ = SepLine(line.substr(0, line.find('\n')));
      copied = sepDelimiter_.has_value();
      if (!copied) continue;
    } else if (skipped_ < options_.skipRows && !line.empty()) {
      ++skipped_;
      copied = true;
    }
    if (!copied) break;
    tableAt_ = end;
    ++line_;
  }
  inPreamble_ = false;
  if (options_.noHeader) StartTable(options_.delimiter.value_or(sepDelimiter_.value_or(',')));
}

// Finds the header row (the first that is not blank) and chooses the
// delimiter with which it names the SIN column.
void TableProbe::FindHeader(bool atEnd) {
  std::size_t start = tableAt_;
  while (start < pending_.size() && (pending_[start] == '\r' || pending_[start] == '\n')) ++start;
  bool quoted = false;
  std::size_t end = start;
  while (end < pending_.size() && (quoted || (pending_[end] != '\n' && pending_[end] != '\r'))) {
    quoted ^= pending_[end] == '"';
    ++end;
  }
  if (end == pending_.size() && !atEnd) return;  // the row goes on
  // No header at all: the table is empty, which its reader finds.
  if (start == pending_.size()) return StartTable(',');
  if (const auto delimiter =
          ChooseDelimiter(std::string_view(pending_).substr(start, end - start))) {
    StartTable(*delimiter);
  } else {
    outcome_ = Outcome::Refused;
  }
}

// Returns the delimiter for the table, or none with why in problem_.
std::optional<char> TableProbe::ChooseDelimiter(std::string_view header) {
  const std::vector<char> working = DelimitersThatWork(header, options_.column);
  const std::optional<char> given = options_.delimiter ? options_.delimiter : sepDelimiter_;
  if (!given && working.size() > 1) {
    problem_ = fmt::format(
        "the header names a SIN with {} and with {} between cells; choose one with --delimiter",
        DelimiterName(working[0]), DelimiterName(working[1]));
    return std::nullopt;
  }
  const char tried = given.value_or(working.size() == 1 ? working.front() : ',');
  const auto cells = SplitTableRow(header, tried);
  // A row that breaks the quoting rules is reported by the table's reader,
  // with its line.
  if (!cells) return tried;
  const std::vector<std::string_view> views(cells->begin(), cells->end());
  const auto user = std::span(views).first(views.size() - AnnotatedCells(views));
  const ColumnChoice choice = ChooseColumn(user, options_.column);
  if (choice.column) return tried;
  problem_ = choice.problem + " (header: " + ShownRow(views, tried, options_.mask) + ")";
  if (given) {
    const auto other = std::find_if(working.begin(), working.end(),
                                    [&](char delimiter) { return delimiter != *given; });
    if (other != working.end()) {
      problem_ += fmt::format("; with --delimiter {} it does", DelimiterName(*other));
    }
  } else {
    std::string names;
    for (std::size_t i = 0; i < kTableDelimiters.size(); ++i) {
      if (i != 0) names += i + 1 == kTableDelimiters.size() ? " and " : ", ";
      names += DelimiterName(kTableDelimiters[i]);
    }
    problem_.insert(problem_.size() - 1, "; cells tried with " + names + " between them");
  }
  return std::nullopt;
}

void TableProbe::StartTable(char delimiter) {
  outcome_ = Outcome::Table;
  delimiter_ = delimiter;
}

std::string ShownRow(std::span<const std::string_view> cells, char delimiter, bool mask) {
  TextBuffer row;
  TextBuffer masked;
  for (std::size_t i = 0; i < cells.size() && row.size() < kQuotedRowBytes; ++i) {
    if (i != 0) row += delimiter;
    std::string_view cell = cells[i];
    if (mask) {
      masked.clear();
      AppendMasked(masked, cell, ParseEntry(cell).digitCount);
      cell = masked.View();
    }
    AppendCsvField(row, cell, delimiter, CellOrigin::User);
  }
  if (row.size() >= kQuotedRowBytes) row += "\xE2\x80\xA6"sv;
  return std::string(row.View());
}

}  // namespace mivaro::cli
