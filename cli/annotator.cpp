// SPDX-License-Identifier: Apache-2.0
#include "cli/annotator.h"

#include <csv.h>
#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "cli/csv.h"
#include "cli/entry_parser.h"
#include "cli/escape.h"
#include "cli/input.h"
#include "cli/records.h"
#include "cli/report.h"

namespace mivaro::cli {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// libcsv's own block, the least its cell buffer grows by.
constexpr std::size_t kMinBlock = 128;

// How much of a row a message quotes.
constexpr std::size_t kQuotedRowBytes = 400;

// What went wrong when the table cannot be annotated any further.
enum class Stop { None, Usage, BrokenTable, Output };

// Where the reading is: the lines above the table (a sep= line, --skip-rows),
// the search for the header row that decides the delimiter, or the table.
enum class Phase { Preamble, Probe, Table };

// Returns the delimiter an Excel "sep=X" line sets, for the line without its
// line break.
std::optional<char> SepLine(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line.size() != 5 || !line.starts_with("sep=")) return std::nullopt;
  return line[4];
}

// Reads a table through libcsv and writes it back annotated, a row at a time.
// The header row is gathered whole, to choose the SIN column; the cells of a
// data row go straight into the output buffer as they are read, which is not
// flushed before the row ends, so a row that breaks off can be taken back.
class Annotator {
 public:
  Annotator(const AnnotateOptions& options, std::FILE* out, std::FILE* err)
      : options_(options), output_(out), err_(err) {
    if (options.column.number) column_ = *options.column.number - 1;
  }
  ~Annotator() {
    if (parsing_) csv_free(&parser_);
  }
  Annotator(const Annotator&) = delete;
  Annotator& operator=(const Annotator&) = delete;

  // Notes that the output starts with a byte-order mark: the input had one, or
  // was converted from another encoding.
  void WriteByteOrderMark() { byteOrderMark_ = true; }

  // Takes the next bytes of the table; returns false once nothing more will
  // be written.
  bool Feed(std::string_view bytes) {
    if (phase_ != Phase::Table) {
      pending_.append(bytes);
      Advance(/*atEnd=*/false);
      if (phase_ != Phase::Table || stop_ != Stop::None) return stop_ == Stop::None;
      bytes = std::string_view(pending_).substr(pendingAt_);
    }
    ParseTable(bytes);
    pending_.clear();
    pendingAt_ = 0;
    return stop_ == Stop::None;
  }

  // Ends the table and returns the exit status; readProblem says why the
  // input could not be read to its end, or is empty.
  int Finish(const std::string& readProblem) {
    // A row cut short by unreadable input is not written.
    if (!readProblem.empty()) output_.Buffer().Truncate(rowStart_);
    if (readProblem.empty()) {
      if (phase_ != Phase::Table) {
        Advance(/*atEnd=*/true);
        if (phase_ == Phase::Table) ParseTable(std::string_view(pending_).substr(pendingAt_));
      }
      Guarded([&] {
        if (parsing_ && csv_fini(&parser_, &Annotator::OnCell, &Annotator::OnRowEnd, this) != 0) {
          BreakOff(csv_error(&parser_), /*atEnd=*/true);
        }
      });
      if (stop_ == Stop::None && !sawHeader_ && !wroteRow_) {
        Halt(Stop::Usage, "the table is empty");
      }
    }
    if (stop_ != Stop::Usage && !output_.Flush()) {
      return ReportWriteFailure(err_, output_.Error(), "the table");
    }
    if (!message_.empty()) Report(err_, message_);
    if (stop_ != Stop::None) return kExitFailure;
    if (!readProblem.empty()) {
      Report(err_, "cannot read the table: {}", readProblem);
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

  // Works through the lines above the table and the header search, as far as
  // the pending bytes allow; at the end of the input, as far as there is.
  void Advance(bool atEnd) {
    while (stop_ == Stop::None && phase_ == Phase::Preamble) {
      const std::size_t newline = pending_.find('\n', pendingAt_);
      if (newline == std::string::npos && !atEnd) break;
      const std::size_t end = newline == std::string::npos ? pending_.size() : newline + 1;
      const std::string_view line = std::string_view(pending_).substr(pendingAt_, end - pendingAt_);
      if (!sawFirstLine_) {
        sawFirstLine_ = true;
        if (const auto sep = SepLine(line.substr(0, line.find('\n')))) {
          sepDelimiter_ = sep;
          CopyLine(line, end);
        }
        continue;
      }
      if (skipped_ < options_.skipRows && !line.empty()) {
        ++skipped_;
        CopyLine(line, end);
        continue;
      }
      phase_ = options_.noHeader ? Phase::Table : Phase::Probe;
      if (phase_ == Phase::Table)
        StartTable(options_.delimiter.value_or(sepDelimiter_.value_or(',')));
    }
    if (stop_ == Stop::None && phase_ == Phase::Probe) Probe(atEnd);
    if (stop_ == Stop::None && phase_ != Phase::Table &&
        pending_.size() - pendingAt_ > options_.maxRowBytes) {
      RowTooLong();
    }
  }

  // Copies a line above the table through as it is.
  void CopyLine(std::string_view line, std::size_t end) {
    Begin();
    output_.Buffer() += line;
    pendingAt_ = end;
    ++line_;
    rowLine_ = line_;
  }

  // Finds the header row (the first that is not blank) and chooses the
  // delimiter with which it names the SIN column.
  void Probe(bool atEnd) {
    std::size_t start = pendingAt_;
    while (start < pending_.size() && (pending_[start] == '\r' || pending_[start] == '\n')) ++start;
    bool quoted = false;
    std::size_t end = start;
    while (end < pending_.size() && (quoted || (pending_[end] != '\n' && pending_[end] != '\r'))) {
      quoted ^= pending_[end] == '"';
      ++end;
    }
    if (end == pending_.size() && !atEnd) return;  // the row goes on
    if (start == pending_.size()) {
      // No header at all: the table is empty, which Finish reports.
      StartTable(',');
      return;
    }
    const std::string_view header = std::string_view(pending_).substr(start, end - start);
    if (const auto delimiter = ChooseDelimiter(header)) StartTable(*delimiter);
  }

  // Returns the delimiter for the table, or stops with why there is none.
  std::optional<char> ChooseDelimiter(std::string_view header) {
    const std::vector<char> working = DelimitersThatWork(header, options_.column);
    const std::optional<char> given = options_.delimiter ? options_.delimiter : sepDelimiter_;
    if (!given && working.size() > 1) {
      Halt(Stop::Usage,
           fmt::format("the header names a SIN with {} and with {} between cells; choose one with "
                       "--delimiter",
                       DelimiterName(working[0]), DelimiterName(working[1])));
      return std::nullopt;
    }
    const char tried = given.value_or(working.size() == 1 ? working.front() : ',');
    const auto cells = SplitTableRow(header, tried);
    // A row that breaks the quoting rules is reported by the table's parser,
    // with its line.
    if (!cells) return tried;
    const std::vector<std::string_view> views(cells->begin(), cells->end());
    const auto user = std::span(views).first(views.size() - AnnotatedCells(views));
    const ColumnChoice choice = ChooseColumn(user, options_.column);
    if (choice.column) return tried;
    std::string message = choice.problem + " (header: " + ShownRow(views, tried) + ")";
    if (given) {
      const auto other = std::find_if(working.begin(), working.end(),
                                      [&](char delimiter) { return delimiter != *given; });
      if (other != working.end()) {
        message += fmt::format("; with --delimiter {} it does", DelimiterName(*other));
      }
    } else {
      std::string tried;
      for (std::size_t i = 0; i < kTableDelimiters.size(); ++i) {
        if (i != 0) tried += i + 1 == kTableDelimiters.size() ? " and " : ", ";
        tried += DelimiterName(kTableDelimiters[i]);
      }
      message.insert(message.size() - 1, "; cells tried with " + tried + " between them");
    }
    Halt(Stop::Usage, std::move(message));
    return std::nullopt;
  }

  // Starts the table's parser with its delimiter.
  void StartTable(char delimiter) {
    phase_ = Phase::Table;
    delimiter_ = delimiter;
    // Strict RFC 4180, so that every cell is read exactly as written and a
    // quote out of place is reported rather than guessed at. Every line break
    // outside a quoted cell is reported, so blank lines are kept; no
    // character counts as padding, so cells keep their blanks.
    csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL);
    csv_set_delim(&parser_, static_cast<unsigned char>(delimiter));
    csv_set_space_func(&parser_, [](unsigned char) { return 0; });
    parsing_ = true;
  }

  // Parses a read block at a time, even when more arrives at once (the
  // header row, gathered whole), so that the cell buffer's growth below keeps
  // pace with a cell of megabytes.
  void ParseTable(std::string_view bytes) {
    while (stop_ == Stop::None && !bytes.empty()) {
      const std::string_view block = bytes.substr(0, kReadBlock);
      bytes.remove_prefix(block.size());
      ParseBlock(block);
    }
  }

  void ParseBlock(std::string_view bytes) {
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
    const bool blank = InHeader() ? HeaderCellCount() == 0 : rowCells_ == 0;
    const bool secondHalfOfCrLf = terminator == '\n' && endedInCr_ && blank;
    endedInCr_ = terminator == '\r';
    if (secondHalfOfCrLf) return;
    if (terminator == '\r' || terminator == '\n') ++line_;

    TextBuffer& out = output_.Buffer();
    if (blank) {
      Begin();
      out += "\r\n"sv;  // a blank line stays a blank line
    } else if (InHeader()) {
      if (!TakeHeader()) return;
    } else if (!EndDataRow()) {
      return;
    }
    rowText_.clear();
    cellEnds_.clear();
    rowCells_ = 0;
    rowBytes_ = 0;
    allEmpty_ = true;
    tooWide_ = false;
    rowLine_ = line_;
    output_.MaybeFlush();
    rowStart_ = out.size();
    if (!output_.Ok()) stop_ = Stop::Output;
  }

  // Writes what goes before anything else: the byte-order mark.
  void Begin() {
    if (byteOrderMark_ && !begun_) output_.Buffer() += kByteOrderMark;
    begun_ = true;
  }

  // Chooses the SIN column from the header row and writes the header with
  // the appended cells' names.
  bool TakeHeader() {
    sawHeader_ = true;
    std::vector<std::string_view> cells;
    for (std::size_t i = 0; i < HeaderCellCount(); ++i) cells.push_back(HeaderCell(i));
    width_ = cells.size();
    userWidth_ = width_ - AnnotatedCells(cells);
    const ColumnChoice choice = ChooseColumn(std::span(cells).first(userWidth_), options_.column);
    if (!choice.column) {
      return Halt(Stop::Usage, choice.problem + " (header: " + ShownRow(cells, delimiter_) + ")");
    }
    column_ = *choice.column;
    Begin();
    TextBuffer& out = output_.Buffer();
    for (std::size_t i = 0; i < userWidth_; ++i) {
      if (i != 0) out += delimiter_;
      WriteUserCell(cells[i]);
    }
    for (const std::string_view name : kAnnotateCells) {
      out += delimiter_;
      out += name;
    }
    out += "\r\n"sv;
    return true;
  }

  // Appends one of the user's cells. A reader takes a byte-order mark at the
  // very start of a file for the file's own, not the cell's: quoted, the first
  // cell keeps it.
  void WriteUserCell(std::string_view cell) {
    const bool first = !wroteCell_;
    wroteCell_ = true;
    AppendCsvField(output_.Buffer(), cell, delimiter_, CellOrigin::User,
                   first && cell.starts_with(kByteOrderMark) ? Quoting::Always : Quoting::AsNeeded);
  }

  // Writes a data cell as it arrives: the user's cells up to the header's
  // width; the values of a table annotated before are dropped, to be written
  // anew; cells past the header are only counted.
  void WriteDataCell(std::string_view cell) {
    const std::size_t index = rowCells_++;
    allEmpty_ = allEmpty_ && cell.empty();
    if (width_ != 0 && index >= width_) {
      // Spreadsheets export empty cells past the header wherever a cell out
      // there was ever formatted: those hold nothing and are dropped.
      tooWide_ = tooWide_ || !cell.empty();
      return;
    }
    if (width_ != 0 && index >= userWidth_) return;
    TextBuffer& out = output_.Buffer();
    if (index == 0) {
      Begin();
    } else {
      out += delimiter_;
    }
    if (index != column_) return WriteUserCell(cell);
    parsed_ = ParseEntry(cell);
    if (!options_.mask) return WriteUserCell(cell);
    // A masked cell is the tool's own writing.
    wroteCell_ = true;
    scratch_.clear();
    AppendMasked(scratch_, cell, parsed_.digitCount);
    AppendCsvField(out, scratch_.View(), delimiter_, CellOrigin::Tool);
  }

  // Ends a data row: an empty one stays empty, one with a cell past the
  // header that is not empty stops the run, a short one is padded to the
  // header's width; then the five cells. Returns false when the run stops.
  bool EndDataRow() {
    if (width_ == 0) {
      // Without a header the first row sets the table's width.
      width_ = userWidth_ = rowCells_;
      if (column_ >= width_) {
        return Halt(Stop::Usage,
                    fmt::format("--column {}: the first row has {} cells", column_ + 1, width_));
      }
    }
    TextBuffer& out = output_.Buffer();
    if (allEmpty_) {
      // A spreadsheet's empty row: nothing to check, and nothing to count.
      out.Truncate(rowStart_);
      Begin();
      out.Fill(userWidth_ + kAnnotateCells.size() - 1, delimiter_);
      out += "\r\n"sv;
      wroteRow_ = true;
      return true;
    }
    if (tooWide_) {
      return Halt(Stop::BrokenTable,
                  fmt::format("line {}: the row has {} cells, {} {}", rowLine_, rowCells_,
                              options_.noHeader ? "the first row" : "the header", width_));
    }
    for (std::size_t index = rowCells_; index < userWidth_; ++index) {
      out += delimiter_;
      if (index == column_) parsed_ = ParseEntry({});
    }
    // The row is whole: what is written of it can go, so that a huge row is
    // not copied into a larger buffer for its last few cells.
    output_.MaybeFlush();
    WriteSinCells();
    wroteRow_ = true;
    return true;
  }

  // Appends the five cells that check the row's SIN cell, and ends the row.
  void WriteSinCells() {
    const Record record = RecordOf(parsed_);
    tally_.Count(record);
    number_.clear();
    std::string_view group;
    std::string_view regions;
    if (!record.IsMalformed()) {
      number_ = options_.mask ? Mask(record.result.number, options_.style)
                              : Format(record.result.number, options_.style);
      group = GroupName(*record.result.group);
      regions = RegionWords(*record.result.group);
    }
    const bool valid = record.result.valid;
    TextBuffer& out = output_.Buffer();
    for (const std::string_view cell : {valid ? "true"sv : "false"sv, std::string_view(number_),
                                        group, regions, ErrorWords(record.result.error)}) {
      out += delimiter_;
      AppendCsvField(out, cell, delimiter_, CellOrigin::Tool);
    }
    out += "\r\n"sv;
  }

  // A row for a message: its cells as CSV, masked as the output would mask
  // them, and cut short.
  std::string ShownRow(std::span<const std::string_view> cells, char delimiter) const {
    TextBuffer row;
    TextBuffer masked;
    for (std::size_t i = 0; i < cells.size() && row.size() < kQuotedRowBytes; ++i) {
      if (i != 0) row += delimiter;
      std::string_view cell = cells[i];
      if (options_.mask) {
        masked.clear();
        AppendMasked(masked, cell, ParseEntry(cell).digitCount);
        cell = masked.View();
      }
      AppendCsvField(row, cell, delimiter, CellOrigin::User);
    }
    if (row.size() >= kQuotedRowBytes) row += "\xE2\x80\xA6"sv;
    return std::string(row.View());
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
    Halt(Stop::BrokenTable,
         fmt::format("line {}: the row is longer than {} bytes (see --max-row-bytes)", rowLine_,
                     options_.maxRowBytes));
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
  BufferedOutput output_;
  std::FILE* err_;

  // Before the table: the bytes not yet taken, from pendingAt_ on.
  Phase phase_ = Phase::Preamble;
  std::string pending_;
  std::size_t pendingAt_ = 0;
  bool sawFirstLine_ = false;
  std::size_t skipped_ = 0;
  std::optional<char> sepDelimiter_;

  csv_parser parser_{};
  bool parsing_ = false;
  char delimiter_ = ',';

  // The header row's cells, one after another, and where each ends.
  TextBuffer rowText_;
  std::vector<std::size_t> cellEnds_;
  std::size_t width_ = 0;      // cells in the header (or the first row), 0 until known
  std::size_t userWidth_ = 0;  // of them, the user's: all but annotate's own
  std::size_t column_ = std::numeric_limits<std::size_t>::max();

  // The row being read.
  std::size_t rowCells_ = 0;  // cells read so far
  std::size_t rowBytes_ = 0;  // its cells and the delimiters after them
  std::size_t rowStart_ = 0;  // where it begins in the output buffer
  std::size_t rowLine_ = 1;   // the line it begins on
  bool allEmpty_ = true;
  bool tooWide_ = false;
  ParsedEntry parsed_;  // its SIN cell

  std::size_t line_ = 1;  // where the next cell begins, as an editor counts lines
  bool endedInCr_ = false;
  bool byteOrderMark_ = false;
  bool begun_ = false;
  bool wroteCell_ = false;
  bool wroteRow_ = false;
  bool sawHeader_ = false;

  TextBuffer scratch_;
  std::string number_;
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

int RunAnnotate(const AnnotateOptions& options, int inputFd, std::FILE* out, std::FILE* err) {
  if (options.noHeader && !options.column.number) {
    Report(err,
           "--no-header needs --column N, the SIN column's number (see mivaro-cli annotate "
           "--help)");
    return kExitFailure;
  }
  InputReader input(inputFd, options.encoding);
  Annotator annotator(options, out, err);
  bool told = false;
  for (std::string_view piece = input.Next(); !piece.empty(); piece = input.Next()) {
    if (!told) {
      told = true;
      if (input.HadByteOrderMark() || input.ConvertedFrom()) annotator.WriteByteOrderMark();
      if (input.ConvertedFrom()) {
        Report(err, "read the table as {}; writing UTF-8 with a byte-order mark",
               *input.ConvertedFrom());
      }
    }
    if (!annotator.Feed(piece)) break;
  }
  return annotator.Finish(input.Error());
}

}  // namespace mivaro::cli
