// SPDX-License-Identifier: Apache-2.0
#include "cli/annotator.h"

#include <fmt/format.h>

#include <limits>
#include <optional>
#include <vector>

#include "cli/csv.h"
#include "cli/csv_reader.h"
#include "cli/entry_parser.h"
#include "cli/input.h"
#include "cli/output.h"
#include "cli/records.h"
#include "cli/report.h"
#include "cli/table_probe.h"

namespace mivaro::cli {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// What went wrong when the table cannot be annotated any further.
enum class Stop { None, Usage, BrokenTable, Output };

// Writes a table back annotated, a row at a time, as its reader finds the
// rows. The header row is gathered whole, to choose the SIN column; the
// cells of a data row go straight into the output buffer as they are read,
// which is not flushed before the row ends, so a row that breaks off can be
// taken back.
class Annotator {
 public:
  Annotator(const AnnotateOptions& options, std::FILE* out, std::FILE* err)
      : options_(options), output_(out), err_(err) {
    if (options.column.number) column_ = *options.column.number - 1;
    probe_.emplace(options);
  }

  // Notes that the output starts with a byte-order mark: the input had one, or
  // was converted from another encoding.
  void WriteByteOrderMark() { byteOrderMark_ = true; }

  // Takes the next bytes of input; returns false once nothing more will be
  // written.
  bool Feed(std::string_view bytes) {
    if (probe_) {
      StartTable(probe_->Look(bytes, /*atEnd=*/false));
    } else {
      Read(bytes);
    }
    return stop_ == Stop::None;
  }

  // Ends the table and returns the exit status; readProblem says why the
  // input could not be read to its end, or is empty.
  int Finish(const std::string& readProblem) {
    // A row cut short by unreadable input is not written.
    if (!readProblem.empty()) output_.Buffer().Truncate(rowStart_);
    if (readProblem.empty()) {
      if (probe_ && stop_ == Stop::None) StartTable(probe_->Look({}, /*atEnd=*/true));
      if (reader_ && stop_ == Stop::None && !reader_->Finish(*this)) Broken();
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

  // The reader's sink: each cell, and each row's end.
  bool Cell(std::string_view cell, std::size_t index) {
    if (InHeader()) {
      rowText_ += cell;
      cellEnds_.push_back(rowText_.size());
    } else {
      WriteDataCell(cell, index);
    }
    return true;
  }

  bool RowEnd(std::size_t cells) {
    TextBuffer& out = output_.Buffer();
    if (cells == 0) {
      Begin();
      out += "\r\n"sv;  // a blank line stays a blank line
    } else if (InHeader()) {
      if (!TakeHeader()) return false;
    } else if (!EndDataRow(cells)) {
      return false;
    }
    rowText_.clear();
    cellEnds_.clear();
    allEmpty_ = true;
    tooWide_ = false;
    output_.MaybeFlush();
    rowStart_ = out.size();
    if (!output_.Ok()) stop_ = Stop::Output;
    return stop_ == Stop::None;
  }

 private:
  // Acts on what the probe found: a refusal stops the run; the table's start
  // copies the lines above it through and reads on from there.
  void StartTable(TableProbe::Outcome outcome) {
    switch (outcome) {
      case TableProbe::Outcome::More:
        return;
      case TableProbe::Outcome::Refused:
        Halt(Stop::Usage, probe_->Problem());
        return;
      case TableProbe::Outcome::Broken:
        Halt(Stop::BrokenTable, probe_->Problem());
        return;
      case TableProbe::Outcome::Table:
        break;
    }
    if (!probe_->Preamble().empty()) {
      Begin();
      output_.Buffer() += probe_->Preamble();
    }
    delimiter_ = probe_->Delimiter();
    reader_.emplace(delimiter_, probe_->TableLine(), options_.maxRowBytes);
    Read(probe_->Table());
    probe_.reset();  // a header of megabytes is not held for the whole run
  }

  void Read(std::string_view bytes) {
    if (stop_ == Stop::None && !reader_->Read(bytes, *this)) Broken();
  }

  // Stops where the reader stopped, unless this writer stopped it.
  void Broken() {
    if (!reader_->Error().empty()) Halt(Stop::BrokenTable, reader_->Error());
  }

  bool InHeader() const { return !sawHeader_ && !options_.noHeader; }

  std::size_t HeaderCellCount() const { return cellEnds_.size(); }
  std::string_view HeaderCell(std::size_t index) const {
    const std::size_t begin = index == 0 ? 0 : cellEnds_[index - 1];
    return rowText_.View().substr(begin, cellEnds_[index] - begin);
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
      return Halt(Stop::Usage,
                  choice.problem + " (header: " + ShownRow(cells, delimiter_, options_.mask) + ")");
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
  void WriteDataCell(std::string_view cell, std::size_t index) {
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
  bool EndDataRow(std::size_t cells) {
    if (width_ == 0) {
      // Without a header the first row sets the table's width.
      width_ = userWidth_ = cells;
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
                  fmt::format("line {}: the row has {} cells, {} {}", reader_->RowLine(), cells,
                              options_.noHeader ? "the first row" : "the header", width_));
    }
    for (std::size_t index = cells; index < userWidth_; ++index) {
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

  // Stops the run: the rows before are written, the cells of the row being
  // read are taken back. Returns false, for the callers that report failure.
  bool Halt(Stop why, std::string message) {
    stop_ = why;
    message_ = std::move(message);
    output_.Buffer().Truncate(rowStart_);
    return false;
  }

  const AnnotateOptions& options_;
  BufferedOutput output_;
  std::FILE* err_;
  std::optional<TableProbe> probe_;  // until the table begins
  std::optional<CsvReader> reader_;  // from then on
  char delimiter_ = ',';

  // The header row's cells, one after another, and where each ends.
  TextBuffer rowText_;
  std::vector<std::size_t> cellEnds_;
  std::size_t width_ = 0;      // cells in the header (or the first row), 0 until known
  std::size_t userWidth_ = 0;  // of them, the user's: all but annotate's own
  std::size_t column_ = std::numeric_limits<std::size_t>::max();

  // The row being read.
  std::size_t rowStart_ = 0;  // where it begins in the output buffer
  bool allEmpty_ = true;
  bool tooWide_ = false;
  ParsedEntry parsed_;  // its SIN cell

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
