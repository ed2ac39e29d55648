// SPDX-License-Identifier: Apache-2.0
#include "cli/csv_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <new>

#include "cli/input.h"

namespace mivaro::cli {
namespace {

// libcsv's own block, the least its cell buffer grows by.
constexpr std::size_t kMinBlock = 128;

}  // namespace

std::string RowTooLongMessage(std::size_t line, std::size_t maxRowBytes) {
  return fmt::format("line {}: the row is longer than {} bytes (see --max-row-bytes)", line,
                     maxRowBytes);
}

CsvReader::CsvReader(char delimiter, std::size_t firstLine, std::size_t maxRowBytes,
                     CsvRowSink& sink)
    : sink_(sink), maxRowBytes_(maxRowBytes), line_(firstLine), rowLine_(firstLine) {
  // Every line break outside a quoted cell is reported, so blank lines are
  // kept; no character counts as padding, so cells keep their blanks.
  csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL);
  csv_set_delim(&parser_, static_cast<unsigned char>(delimiter));
  csv_set_space_func(&parser_, [](unsigned char) { return 0; });
}

CsvReader::~CsvReader() {
  csv_free(&parser_);
}

void CsvReader::OnCell(void* bytes, std::size_t size, void* self) {
  static_cast<CsvReader*>(self)->Cell({static_cast<const char*>(bytes), size});
}

void CsvReader::OnRowEnd(int terminator, void* self) {
  static_cast<CsvReader*>(self)->RowEnd(terminator);
}

// A read block at a time, even when more arrives at once (a header row
// gathered whole), so that the cell buffer's growth keeps pace with a cell
// of megabytes.
bool CsvReader::Read(std::string_view bytes) {
  while (!stopped_ && !bytes.empty()) {
    const std::string_view block = bytes.substr(0, kReadBlock);
    bytes.remove_prefix(block.size());
    ReadBlock(block);
  }
  return !stopped_;
}

void CsvReader::ReadBlock(std::string_view bytes) {
  // libcsv grows its cell buffer by a fixed block; growing it by half its
  // size instead keeps a huge cell linear to read, and no further than the
  // row bound and the block being read keeps its memory within the bound.
  const std::size_t size = csv_get_buffer_size(&parser_);
  const std::size_t most = maxRowBytes_ + 2 * kReadBlock;
  csv_set_blk_size(&parser_,
                   std::max(kMinBlock, std::min(size / 2, most > size ? most - size : 0)));
  try {
    if (csv_parse(&parser_, bytes.data(), bytes.size(), &OnCell, &OnRowEnd, this) != bytes.size()) {
      Fail(csv_error(&parser_), /*atEnd=*/false);
    }
  } catch (const std::bad_alloc&) {
    Fail(fmt::format("out of memory at line {}", rowLine_));
  }
  // A cell still being read counts toward its row too.
  if (!stopped_ && rowBytes_ + parser_.entry_pos > maxRowBytes_) {
    Fail(RowTooLongMessage(rowLine_, maxRowBytes_));
  }
}

bool CsvReader::Finish() {
  if (stopped_) return false;
  try {
    if (csv_fini(&parser_, &OnCell, &OnRowEnd, this) != 0) {
      Fail(csv_error(&parser_), /*atEnd=*/true);
    }
  } catch (const std::bad_alloc&) {
    Fail(fmt::format("out of memory at line {}", rowLine_));
  }
  return !stopped_;
}

void CsvReader::Cell(std::string_view cell) {
  if (stopped_) return;
  rowBytes_ += cell.size() + 1;
  if (rowBytes_ > maxRowBytes_) return Fail(RowTooLongMessage(rowLine_, maxRowBytes_));
  CountLineBreaks(cell);
  stopped_ = !sink_.Cell(cell, rowCells_++);
}

// A quoted cell may hold line breaks: CR LF, LF or CR, one line each.
void CsvReader::CountLineBreaks(std::string_view cell) {
  bool breaks = false;
  for (const char c : cell) breaks |= (c == '\n') | (c == '\r');  // no branch: most cells are short
  if (!breaks) return;
  for (std::size_t at = 0; at < cell.size(); ++at) {
    if (cell[at] == '\n' || (cell[at] == '\r' && (at + 1 == cell.size() || cell[at + 1] != '\n'))) {
      ++line_;
    }
  }
}

void CsvReader::RowEnd(int terminator) {
  if (stopped_) return;
  // The LF of a CR LF is reported on its own, as if it ended a blank row.
  const bool secondHalfOfCrLf = terminator == '\n' && endedInCr_ && rowCells_ == 0;
  endedInCr_ = terminator == '\r';
  if (secondHalfOfCrLf) return;
  if (terminator == '\r' || terminator == '\n') ++line_;
  stopped_ = !sink_.RowEnd(rowCells_);
  rowCells_ = 0;
  rowBytes_ = 0;
  rowLine_ = line_;
}

// The line named is where the faulty cell begins.
void CsvReader::Fail(int error, bool atEnd) {
  if (error == CSV_ENOMEM) {
    Fail(fmt::format("out of memory at line {}", rowLine_));
  } else if (error != CSV_EPARSE) {
    Fail(fmt::format("line {}: {}", line_, csv_strerror(error)));
  } else if (atEnd) {
    Fail(fmt::format("line {}: a quoted cell begins here and is never closed", line_));
  } else {
    Fail(
        fmt::format("line {}: a quote out of place in a cell (a cell that holds a quote must be "
                    "quoted whole, with its quotes doubled)",
                    line_));
  }
}

void CsvReader::Fail(std::string message) {
  stopped_ = true;
  error_ = std::move(message);
}

}  // namespace mivaro::cli
