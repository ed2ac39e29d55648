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
#include "cli/report.h"
#include "cli/utf8.h"
#include "core/utf8.h"

namespace mivaro::cli {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// libcsv's own block, the least its cell buffer grows by.
constexpr std::size_t kMinBlock = 128;

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

// Reads a table through libcsv and writes it back annotated, a row at a time.
// The header row is gathered whole, to choose the SIN column; the cells of a
// data row go straight into the output buffer as they are read, which is not
// flushed before the row ends, so a row that breaks off can be taken back.
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
    // libcsv grows its cell buffer by a fixed block; growing it by half its
    // size instead keeps a huge cell linear to read, and no further than the
    // row bound and the block being read keeps its memory within the bound.
    const std::size_t size = csv_get_buffer_size(&parser_);
    const std::size_t most = options_.maxRowBytes + 2 * kReadBlock;
    csv_set_blk_size(&parser_,
                     std::max(kMinBlock, std::min(size / 2, most > size ? most - size : 0)));
    Guarded([&] {
      if (csv_parse(&parser_, bytes.data(), bytes.size(), &Annotator::OnCell, &Annotator::OnRowEnd,
                    this) != bytes.size()) {
        BreakOff(csv_error(&parser_), /*atEnd=*/false);
      }
    });
    // A cell still being read counts toward its row too.
    if (stop_ == Stop::None && rowBytes_ + parser_.entry_pos > options_.maxRowBytes) {
      RowTooLong();
    }
    return stop_ == Stop::None;
  }

  // Ends the table and returns the exit status; readError is the errno of a
  // failed read, or 0.
  int Finish(int readError) {
    if (readError == 0) {
      Guarded([&] {
        if (csv_fini(&parser_, &Annotator::OnCell, &Annotator::OnRowEnd, this) != 0) {
          BreakOff(csv_error(&parser_), /*atEnd=*/true);
        }
      });
    }
    if (stop_ != Stop::Usage && !output_.Flush()) {
      return ReportWriteFailure(err_, output_.Error(), "the table");
    }
    if (!message_.empty()) Report(err_, message_);
    if (stop_ != Stop::None) return kExitFailure;
    if (readError != 0) {
      Report(err_, "cannot read the table: {}", std::strerror(readError));
      return kExitFailure;
    }
    if (options_.summary) {
      Report(err_, "summary: {} valid, {} invalid, {} malformed", tally_.valid, tally_.invalid,
             tally_.malformed);
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

  // Runs a step of the parse while nothing has stopped it, turning a failed
  // allocation into a stop that names the line.
  template <typename Step>
  void Guarded(const Step& step) {
    if (stop_ != Stop::None) return;
    try {
      step();
    } catch (const std::bad_alloc&) {
      Halt(Stop::BrokenTable, fmt::format("out of memory at line {}", rowLine_));
    }
  }

  bool InHeader() const { return !sawHeader_ && !options_.noHeader; }

  std::size_t HeaderCellCount() const { return cellEnds_.size(); }
  std::string_view HeaderCell(std::size_t index) const {
    const std::size_t begin = index == 0 ? 0 : cellEnds_[index - 1];
    return rowText_.View().substr(begin, cellEnds_[index] - begin);
  }

  void AddCell(std::string_view cell) {
    if (stop_ != Stop::None) return;
    rowBytes_ += cell.size() + 1;
    if (rowBytes_ > options_.maxRowBytes) return RowTooLong();
    CountLineBreaks(cell);
    if (InHeader()) {
      rowText_ += cell;
      cellEnds_.push_back(rowText_.size());
    } else {
      WriteDataCell(cell);
    }
  }

  // A quoted cell may hold line breaks: CR LF, LF or CR, one line each.
  void CountLineBreaks(std::string_view cell) {
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
    const bool empty = InHeader() ? HeaderCellCount() == 0 : rowCells_ == 0;
    const bool secondHalfOfCrLf = terminator == '\n' && endedInCr_ && empty;
    endedInCr_ = terminator == '\r';
    if (secondHalfOfCrLf) return;
    if (terminator == '\r' || terminator == '\n') ++line_;

    TextBuffer& out = output_.Buffer();
    if (empty) {
      StartRow();
      out += "\r\n"sv;  // a blank line stays a blank line
    } else if (InHeader()) {
      sawHeader_ = true;
      if (!ChooseColumn()) return;
      StartRow();
      WriteHeader();
    } else {
      // The row is whole: what is written of it can go, so that a huge row
      // is not copied into a larger buffer for its last few cells.
      output_.MaybeFlush();
      WriteSinCells();
    }
    rowText_.clear();
    cellEnds_.clear();
    rowCells_ = 0;
    rowBytes_ = 0;
    rowLine_ = line_;
    output_.MaybeFlush();
    rowStart_ = out.size();
    if (!output_.Ok()) stop_ = Stop::Output;
  }

  // Writes what goes before a row's first cell: the byte-order mark, at the
  // very start of the output.
  void StartRow() {
    if (byteOrderMark_ && !wroteAnything_) output_.Buffer() += kByteOrderMark;
    wroteAnything_ = true;
  }

  // Appends one of the user's cells. A reader takes a byte-order mark at the
  // very start of a file for the file's own, not the cell's: quoted, the first
  // cell keeps it.
  void WriteUserCell(std::string_view cell) {
    const bool first = !wroteCell_;
    wroteCell_ = true;
    AppendCsvField(output_.Buffer(), cell, options_.delimiter, CellOrigin::User,
                   first && cell.starts_with(kByteOrderMark) ? Quoting::Always : Quoting::AsNeeded);
  }

  void WriteHeader() {
    TextBuffer& out = output_.Buffer();
    for (std::size_t i = 0; i < HeaderCellCount(); ++i) {
      if (i != 0) out += options_.delimiter;
      WriteUserCell(HeaderCell(i));
    }
    for (std::size_t start = 0; start < kAnnotateHeader.size();) {
      const std::size_t comma = std::min(kAnnotateHeader.find(',', start), kAnnotateHeader.size());
      out += options_.delimiter;
      out += kAnnotateHeader.substr(start, comma - start);
      start = comma + 1;
    }
    out += "\r\n"sv;
  }

  void WriteDataCell(std::string_view cell) {
    TextBuffer& out = output_.Buffer();
    if (rowCells_ == 0) {
      StartRow();
    } else {
      out += options_.delimiter;
    }
    if (rowCells_++ != column_) return WriteUserCell(cell);
    parsed_ = ParseEntry(cell);
    hasSin_ = true;
    if (!options_.mask) return WriteUserCell(cell);
    // A masked cell is the tool's own writing.
    wroteCell_ = true;
    scratch_.clear();
    AppendMasked(scratch_, cell, HiddenDigits(parsed_.digitCount));
    AppendCsvField(out, scratch_.View(), options_.delimiter, CellOrigin::Tool);
  }

  // Appends the five cells that check the row's SIN cell, and ends the row.
  void WriteSinCells() {
    std::string_view number;
    std::string_view group;
    std::string_view regions;
    std::string_view error = "no SIN cell"sv;
    bool valid = false;
    if (hasSin_) {
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
    hasSin_ = false;
    TextBuffer& out = output_.Buffer();
    for (const std::string_view cell :
         {valid ? "true"sv : "false"sv, number, group, regions, error}) {
      out += options_.delimiter;
      AppendCsvField(out, cell, options_.delimiter, CellOrigin::Tool);
    }
    out += "\r\n"sv;
  }

  // Finds the SIN column in the header row; on failure says why and stops.
  bool ChooseColumn() {
    std::vector<std::string_view> cells;
    for (std::size_t i = 0; i < HeaderCellCount(); ++i) cells.push_back(HeaderCell(i));
    const std::string headers = HeaderList(cells);
    if (columnNumber_) {
      if (*columnNumber_ > cells.size()) {
        return Halt(Stop::Usage, fmt::format("--column {}: the header has {} cells ({})",
                                             *columnNumber_, cells.size(), headers));
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
        return Halt(
            Stop::Usage,
            fmt::format("--column '{}': {} in the header ({})", *options_.column,
                        matches.empty() ? "no such cell" : "more than one such cell", headers));
      }
    } else {
      for (std::size_t i = 0; i < cells.size(); ++i) {
        if (NamesSin(cells[i])) matches.push_back(i);
      }
      if (matches.size() != 1) {
        return Halt(Stop::Usage,
                    fmt::format("{} of the header names a SIN; choose one with --column ({})",
                                matches.empty() ? "no cell" : "more than one cell", headers));
      }
    }
    column_ = matches.front();
    return true;
  }

  // Stops the run: the rows before are written, the cells of the row being
  // read are taken back. Returns false, for the callers that report failure.
  bool Halt(Stop why, std::string message) {
    stop_ = why;
    message_ = std::move(message);
    output_.Buffer().Truncate(rowStart_);
    return false;
  }

  void RowTooLong() {
    Halt(Stop::BrokenTable, fmt::format("line {}: the row is longer than {} bytes (see "
                                        "--max-row-bytes)",
                                        rowLine_, options_.maxRowBytes));
  }

  // Stops at a parse error. The line named is where the faulty cell begins.
  void BreakOff(int error, bool atEnd) {
    if (error == CSV_ENOMEM) {
      Halt(Stop::BrokenTable, fmt::format("out of memory at line {}", rowLine_));
    } else if (error != CSV_EPARSE) {
      Halt(Stop::BrokenTable, fmt::format("line {}: {}", line_, csv_strerror(error)));
    } else if (atEnd) {
      Halt(Stop::BrokenTable,
           fmt::format("line {}: a quoted cell begins here and is never closed", line_));
    } else {
      Halt(Stop::BrokenTable,
           fmt::format("line {}: a quote out of place in a cell (a cell that holds a quote must "
                       "be quoted whole, with its quotes doubled)",
                       line_));
    }
  }

  const AnnotateOptions& options_;
  std::optional<std::size_t> columnNumber_;
  BufferedOutput output_;
  std::FILE* err_;
  csv_parser parser_{};

  // The header row's cells, one after another, and where each ends.
  TextBuffer rowText_;
  std::vector<std::size_t> cellEnds_;
  // The row being read.
  std::size_t rowCells_ = 0;  // data cells written so far
  std::size_t rowBytes_ = 0;  // its cells and the delimiters after them
  std::size_t rowStart_ = 0;  // where it begins in the output buffer
  std::size_t rowLine_ = 1;   // the line it begins on
  bool hasSin_ = false;       // it has reached the SIN column; parsed_ holds that cell
  ParsedEntry parsed_;

  std::size_t line_ = 1;  // where the next cell begins, as an editor counts lines
  bool endedInCr_ = false;
  bool byteOrderMark_ = false;
  bool wroteAnything_ = false;
  bool wroteCell_ = false;
  bool sawHeader_ = false;
  std::size_t column_ = std::numeric_limits<std::size_t>::max();

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
      Report(err, "--column: {} (see mivaro-cli annotate --help)", error);
      return kExitFailure;
    }
    columnNumber = static_cast<std::size_t>(*number);
  } else if (options.column && options.noHeader) {
    Report(err,
           "--column: with --no-header the SIN column is chosen by its number, not '{}' (see "
           "mivaro-cli annotate --help)",
           *options.column);
    return kExitFailure;
  }
  if (options.noHeader && !columnNumber) {
    Report(err,
           "--no-header needs --column N, the SIN column's number (see mivaro-cli annotate "
           "--help)");
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
