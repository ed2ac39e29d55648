// SPDX-License-Identifier: Apache-2.0
#include "cli/annotate.h"

#include <csv.h>
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "cli/commands.h"
#include "cli/entry_parser.h"
#include "cli/records.h"
#include "cli/utf8.h"
#include "core/utf8.h"

namespace mivaro::cli {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends a code point as UTF-8.
void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
  } else {
    if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    }
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (c & 0x3F));
}

// A header cell folded for comparison: lower case, and for NamesSin without
// accents and without the characters that spellings of a name differ in.
enum class Fold { CaseOnly, Spelling };

std::string Folded(std::string_view text, Fold fold) {
  std::string folded;
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Step step = DecodeUtf8(text, at);
    char32_t c = step.valid ? step.codePoint : 0xFFFD;
    at += step.length;
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) c += 0x20;  // Latin-1 capitals
    if (fold == Fold::Spelling) {
      if (IsBlank(c) ||
          std::u32string_view(U"_-'.#\u2019\u2018").find(c) != std::u32string_view::npos) {
        continue;
      }
      // The accented letters of French and its neighbours, without accents.
      constexpr std::u32string_view kAccented = U"àáâãäåçèéêëìíîïñòóôõöùúûüýÿ";
      constexpr std::string_view kPlain = "aaaaaaceeeeiiiinooooouuuuyy";
      if (const auto index = kAccented.find(c); index != std::u32string_view::npos) {
        c = static_cast<char32_t>(kPlain[index]);
      }
    }
    AppendUtf8(folded, c);
  }
  return folded;
}

// Lists header cells for a message, printable and within one line.
std::string HeaderList(const std::vector<std::string_view>& cells) {
  TextBuffer list;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i != 0) list += ", "sv;
    AppendPrintable(list, cells[i].empty() ? "(empty)"sv : cells[i]);
    if (list.size() > 400) {
      list += ", \xE2\x80\xA6"sv;
      break;
    }
  }
  return std::string(list.View());
}

// What went wrong when the table cannot be annotated any further.
enum class Stop { None, Usage, BrokenTable, Output };

class Annotator {
 public:
  Annotator(const AnnotateOptions& options, std::optional<std::size_t> columnNumber, std::FILE* out,
            std::FILE* err)
      : options_(options), columnNumber_(columnNumber), output_(out), err_(err) {
    if (columnNumber) column_ = *columnNumber - 1;
    // Strict RFC 4180, so that every cell is read exactly as written and a
    // quote out of place is reported rather than guessed at. Every line break
    // outside a quoted cell is reported, so blank lines are kept; no
    // character counts as padding, so cells keep their blanks.
    csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL);
    csv_set_delim(&parser_, static_cast<unsigned char>(options.delimiter));
    csv_set_space_func(&parser_, [](unsigned char) { return 0; });
  }
  ~Annotator() { csv_free(&parser_); }
  Annotator(const Annotator&) = delete;
  Annotator& operator=(const Annotator&) = delete;

  // Notes that the input began with a byte-order mark, which the output keeps.
  void KeepByteOrderMark() { byteOrderMark_ = true; }

  // Takes the next bytes of the table; returns false once nothing more will
  // be written.
  bool Feed(std::string_view bytes) {
    if (csv_parse(&parser_, bytes.data(), bytes.size(), &Annotator::OnCell, &Annotator::OnRowEnd,
                  this) != bytes.size() &&
        stop_ == Stop::None) {
      BreakOff(csv_error(&parser_), /*atEnd=*/false);
    }
    return stop_ == Stop::None;
  }

  // Ends the table and returns the exit status; readError is the errno of a
  // failed read, or 0.
  int Finish(int readError) {
    if (stop_ == Stop::None && readError == 0 &&
        csv_fini(&parser_, &Annotator::OnCell, &Annotator::OnRowEnd, this) != 0 &&
        stop_ == Stop::None) {
      BreakOff(csv_error(&parser_), /*atEnd=*/true);
    }
    if (stop_ != Stop::Usage && !output_.Flush()) {
      if (output_.Error() != EPIPE) {
        fmt::print(err_, "mivaro-cli: cannot write the table: {}\n",
                   std::strerror(output_.Error()));
      }
      return kExitFailure;
    }
    if (!message_.empty()) fmt::print(err_, "mivaro-cli: {}\n", message_);
    if (stop_ != Stop::None) return kExitFailure;
    if (readError != 0) {
      fmt::print(err_, "mivaro-cli: cannot read the table: {}\n", std::strerror(readError));
      return kExitFailure;
    }
    if (options_.summary) {
      fmt::print(err_, "mivaro-cli: summary: {} valid, {} invalid, {} malformed\n", tally_.valid,
                 tally_.invalid, tally_.malformed);
    }
    return tally_.AllValid() ? kExitAllValid : kExitNotAllValid;
  }

 private:
  static void OnCell(void* bytes, std::size_t size, void* self) {
    static_cast<Annotator*>(self)->AddCell({static_cast<const char*>(bytes), size});
  }
  static void OnRowEnd(int terminator, void* self) {
    static_cast<Annotator*>(self)->EndRow(terminator);
  }

  std::size_t CellCount() const { return cellEnds_.size(); }
  std::string_view Cell(std::size_t index) const {
    const std::size_t begin = index == 0 ? 0 : cellEnds_[index - 1];
    return rowText_.View().substr(begin, cellEnds_[index] - begin);
  }

  void AddCell(std::string_view cell) {
    if (stop_ != Stop::None) return;
    rowText_ += cell;
    cellEnds_.push_back(rowText_.size());
    // A quoted cell may hold line breaks: CR LF, LF or CR, one line each.
    bool breaks = false;
    for (const char c : cell)
      breaks |= (c == '\n') | (c == '\r');  // no branch: most cells are short
    if (!breaks) return;
    for (std::size_t at = 0; at < cell.size(); ++at) {
      if (cell[at] == '\n' ||
          (cell[at] == '\r' && (at + 1 == cell.size() || cell[at + 1] != '\n'))) {
        ++line_;
      }
    }
  }

  void EndRow(int terminator) {
    if (stop_ != Stop::None) return;
    // The LF of a CR LF is reported on its own, as if it ended an empty row.
    const bool secondHalfOfCrLf = terminator == '\n' && endedInCr_ && CellCount() == 0;
    endedInCr_ = terminator == '\r';
    if (secondHalfOfCrLf) return;
    if (terminator == '\r' || terminator == '\n') ++line_;

    TextBuffer& out = output_.Buffer();
    if (byteOrderMark_ && !wroteAnything_) out += kByteOrderMark;
    wroteAnything_ = true;
    if (CellCount() == 0) {
      out += "\r\n"sv;  // a blank line stays a blank line
    } else if (!sawHeader_ && !options_.noHeader) {
      sawHeader_ = true;
      if (!ChooseColumn()) return;
      WriteUserCells(/*maskColumn=*/false);
      for (std::size_t start = 0; start < kAnnotateHeader.size();) {
        const std::size_t comma =
            std::min(kAnnotateHeader.find(',', start), kAnnotateHeader.size());
        out += options_.delimiter;
        out += kAnnotateHeader.substr(start, comma - start);
        start = comma + 1;
      }
      out += "\r\n"sv;
    } else {
      sawHeader_ = true;
      WriteDataRow();
    }
    rowText_.clear();
    cellEnds_.clear();
    output_.MaybeFlush();
    if (!output_.Ok()) stop_ = Stop::Output;
  }

  // Finds the SIN column in the header row; on failure says why and stops.
  bool ChooseColumn() {
    const auto refuse = [&](std::string why) {
      message_ = std::move(why);
      stop_ = Stop::Usage;
      return false;
    };
    std::vector<std::string_view> cells;
    for (std::size_t i = 0; i < CellCount(); ++i) cells.push_back(Cell(i));
    const std::string headers = HeaderList(cells);
    if (columnNumber_) {
      if (*columnNumber_ > cells.size()) {
        return refuse(fmt::format("--column {}: the header has {} cells ({})", *columnNumber_,
                                  cells.size(), headers));
      }
      return true;
    }
    std::vector<std::size_t> matches;
    if (options_.column) {
      const std::string wanted = Folded(TrimBlanks(*options_.column), Fold::CaseOnly);
      for (std::size_t i = 0; i < cells.size(); ++i) {
        if (Folded(TrimBlanks(cells[i]), Fold::CaseOnly) == wanted) matches.push_back(i);
      }
      if (matches.size() != 1) {
        return refuse(fmt::format("--column '{}': {} in the header ({})", *options_.column,
                                  matches.empty() ? "no such cell" : "more than one such cell",
                                  headers));
      }
    } else {
      for (std::size_t i = 0; i < cells.size(); ++i) {
        if (NamesSin(cells[i])) matches.push_back(i);
      }
      if (matches.size() != 1) {
        return refuse(fmt::format("{} of the header names a SIN; choose one with --column ({})",
                                  matches.empty() ? "no cell" : "more than one cell", headers));
      }
    }
    column_ = matches.front();
    return true;
  }

  void WriteUserCells(bool maskColumn) {
    TextBuffer& out = output_.Buffer();
    for (std::size_t i = 0; i < CellCount(); ++i) {
      if (i != 0) out += options_.delimiter;
      if (maskColumn && i == column_) {
        // A masked cell is the tool's own writing.
        scratch_.clear();
        AppendMasked(scratch_, Cell(i), HiddenDigits(parsed_.digitCount));
        AppendCsvField(out, scratch_.View(), options_.delimiter, CellOrigin::Tool);
      } else {
        AppendCsvField(out, Cell(i), options_.delimiter, CellOrigin::User);
      }
    }
  }

  void WriteDataRow() {
    const bool hasSin = column_ < CellCount();
    parsed_ = hasSin ? ParseEntry(Cell(column_)) : ParsedEntry{};
    WriteUserCells(options_.mask);

    std::string_view number;
    std::string_view group;
    std::string_view regions;
    std::string_view error = "no SIN cell"sv;
    bool valid = false;
    if (hasSin) {
      const Record record = CheckEntry(parsed_);
      tally_.Count(record);
      error = MalformedText(record.error);
      if (!record.IsMalformed()) {
        valid = record.result.IsValid;
        number = record.number;
        if (options_.mask) {
          maskedNumber_.clear();
          AppendMasked(maskedNumber_, number, HiddenDigits(kNumberLength));
          number = maskedNumber_.View();
        }
        group = RegionGroupName(*record.group);
        regions = RegionWords(*record.group);
      }
    } else {
      ++tally_.malformed;
    }
    TextBuffer& out = output_.Buffer();
    for (const std::string_view cell :
         {valid ? "true"sv : "false"sv, number, group, regions, error}) {
      out += options_.delimiter;
      AppendCsvField(out, cell, options_.delimiter, CellOrigin::Tool);
    }
    out += "\r\n"sv;
  }

  // Stops at a parse error: the rows before it are written, the cells of the
  // row it is in are not. The line named is where the faulty cell begins.
  void BreakOff(int error, bool atEnd) {
    stop_ = Stop::BrokenTable;
    if (error != CSV_EPARSE) {
      message_ = fmt::format("line {}: {}", line_, csv_strerror(error));
    } else if (atEnd) {
      message_ = fmt::format("line {}: a quoted cell begins here and is never closed", line_);
    } else {
      message_ = fmt::format(
          "line {}: a quote out of place in a cell (a cell that holds a quote must be quoted "
          "whole, with its quotes doubled)",
          line_);
    }
  }

  const AnnotateOptions& options_;
  std::optional<std::size_t> columnNumber_;
  BufferedOutput output_;
  std::FILE* err_;
  csv_parser parser_{};

  // The cells of the row being read, one after another, and where each ends;
  // kept between rows, so their memory is reused.
  TextBuffer rowText_;
  std::vector<std::size_t> cellEnds_;
  std::size_t line_ = 1;  // where the next cell begins, as an editor counts lines
  bool endedInCr_ = false;
  bool byteOrderMark_ = false;
  bool wroteAnything_ = false;
  bool sawHeader_ = false;
  std::size_t column_ = std::numeric_limits<std::size_t>::max();

  ParsedEntry parsed_;
  TextBuffer scratch_;
  TextBuffer maskedNumber_;
  Tally tally_;
  Stop stop_ = Stop::None;
  std::string message_;
};

}  // namespace

std::optional<char> ParseDelimiter(std::string_view text, std::string& error) {
  if (text == "tab") return '\t';
  if (text.size() != 1 || static_cast<unsigned char>(text[0]) >= 0x80 ||
      std::string_view("\"\r\n").find(text[0]) != std::string_view::npos) {
    error = fmt::format(
        "'{}' cannot separate cells (expected one ASCII character other than a quote or a line "
        "break, or tab)",
        text);
    return std::nullopt;
  }
  return text[0];
}

bool NamesSin(std::string_view headerCell) {
  const std::string folded = Folded(headerCell, Fold::Spelling);
  return std::any_of(kSinHeaderNames.begin(), kSinHeaderNames.end(),
                     [&](std::string_view name) { return Folded(name, Fold::Spelling) == folded; });
}

std::string SinHeaderNameList() {
  std::string list;
  for (std::size_t i = 0; i < kSinHeaderNames.size(); ++i) {
    if (i != 0) list += i + 1 == kSinHeaderNames.size() ? " or " : ", ";
    list += kSinHeaderNames[i];
  }
  return list;
}

int RunAnnotate(const AnnotateOptions& options, int inputFd, std::FILE* out, std::FILE* err) {
  std::optional<std::size_t> columnNumber;
  if (options.column && !options.column->empty() &&
      std::all_of(options.column->begin(), options.column->end(),
                  [](char c) { return c >= '0' && c <= '9'; })) {
    std::string error;
    const auto number =
        ParseWholeNumber(*options.column, 1, std::numeric_limits<std::size_t>::max(), error);
    if (!number) {
      fmt::print(err, "mivaro-cli: --column: {} (see mivaro-cli annotate --help)\n", error);
      return kExitFailure;
    }
    columnNumber = static_cast<std::size_t>(*number);
  } else if (options.column && options.noHeader) {
    fmt::print(err,
               "mivaro-cli: --column: with --no-header the SIN column is chosen by its number, "
               "not '{}' (see mivaro-cli annotate --help)\n",
               *options.column);
    return kExitFailure;
  }
  if (options.noHeader && !columnNumber) {
    fmt::print(err,
               "mivaro-cli: --no-header needs --column N, the SIN column's number "
               "(see mivaro-cli annotate --help)\n");
    return kExitFailure;
  }

  Annotator annotator(options, columnNumber, out, err);
  std::vector<char> block(kReadBlock);
  std::string start;  // the first bytes, until it is known whether they are a byte-order mark
  bool started = false;
  int readError = 0;
  while (true) {
    const long got = ReadBlock(inputFd, block);
    if (got < 0) {
      readError = errno;
      break;
    }
    std::string_view bytes(block.data(), static_cast<std::size_t>(got));
    if (!started) {
      start += bytes;
      if (got != 0 && start.size() < kByteOrderMark.size() && kByteOrderMark.starts_with(start)) {
        continue;  // too few bytes yet to tell
      }
      started = true;
      bytes = start;
      if (bytes.starts_with(kByteOrderMark)) {
        annotator.KeepByteOrderMark();
        bytes.remove_prefix(kByteOrderMark.size());
      }
    }
    if (!bytes.empty() && !annotator.Feed(bytes)) break;
    if (got == 0) break;
    start.clear();
  }
  return annotator.Finish(readError);
}

}  // namespace mivaro::cli
