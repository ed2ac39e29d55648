// SPDX-License-Identifier: Apache-2.0
#include "cli/csv_reader.h"

#include <fmt/format.h>

#include <algorithm>

namespace mivaro::cli {
namespace {

// libcsv's own block, the least its cell buffer grows by.
constexpr std::size_t kMinBlock = 128;

}  // namespace

std::string RowTooLongMessage(std::size_t line, std::size_t maxRowBytes) {
  return fmt::format("line {}: the row is longer than {} bytes (see --max-row-bytes)", line,
                     maxRowBytes);
}

CsvReader::CsvReader(char delimiter, std::size_t firstLine, std::size_t maxRowBytes)
    : maxRowBytes_(maxRowBytes), line_(firstLine), rowLine_(firstLine) {
  // Every line break outside a quoted cell is reported, so blank lines are
  // kept; no character counts as padding, so cells keep their blanks.
  csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL);
  csv_set_delim(&parser_, static_cast<unsigned char>(delimiter));
  csv_set_space_func(&parser_, [](unsigned char) { return 0; });
}

CsvReader::~CsvReader() {
  csv_free(&parser_);
}

void CsvReader::PrepareBlock() {
  // libcsv grows its cell buffer by a fixed block; growing it by half its
  // size instead keeps a huge cell linear to read, and no further than the
  // row bound and the block being read keeps its memory within the bound.
  const std::size_t size = csv_get_buffer_size(&parser_);
  const std::size_t most = maxRowBytes_ + 2 * kReadBlock;
  csv_set_blk_size(&parser_,
                   std::max(kMinBlock, std::min(size / 2, most > size ? most - size : 0)));
}

void CsvReader::EndBlock(bool parsed) {
  if (!parsed && !stopped_) Fail(csv_error(&parser_), /*atEnd=*/false);
  // A cell still being read counts toward its row too.
  if (!stopped_ && rowBytes_ + parser_.entry_pos > maxRowBytes_) {
    Fail(RowTooLongMessage(rowLine_, maxRowBytes_));
  }
}

void CsvReader::EndTable(int result) {
  if (result != 0 && !stopped_) Fail(csv_error(&parser_), /*atEnd=*/true);
}

// A quoted cell may hold line breaks: CR LF, LF or CR, one line each.
void CsvReader::CountLineBreaks(std::string_view cell) {
  for (std::size_t at = 0; at < cell.size(); ++at) {
    if (cell[at] == '\n' || (cell[at] == '\r' && (at + 1 == cell.size() || cell[at + 1] != '\n'))) {
      ++line_;
    }
  }
}

// The line named is where the faulty cell begins.
void CsvReader::Fail(int error, bool atEnd) {
  if (error == CSV_ENOMEM) {
    OutOfMemory();
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

void CsvReader::OutOfMemory() {
  Fail(fmt::format("out of memory at line {}", rowLine_));
}

}  // namespace mivaro::cli
