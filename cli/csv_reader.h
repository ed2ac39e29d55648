// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <csv.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace mivaro::cli {

// Receives a table's cells and rows from a CsvReader as they are read.
// Returning false stops the reading.
class CsvRowSink {
 public:
  virtual ~CsvRowSink() = default;
  // A cell of the row being read, its index counted from 0.
  virtual bool Cell(std::string_view cell, std::size_t index) = 0;
  // The row has ended after so many cells; none for a blank line.
  virtual bool RowEnd(std::size_t cells) = 0;
};

// The message for a row longer than the bound, naming the line it begins on.
std::string RowTooLongMessage(std::size_t line, std::size_t maxRowBytes);

// Reads a CSV table through libcsv, strictly as RFC 4180 writes it, so that
// every cell is read exactly as written and a quote out of place is reported
// rather than guessed at. Rows end at LF, CR LF or CR; blank lines are rows of
// no cells; no character counts as padding. It counts lines as an editor does
// (a quoted cell's line breaks included) and keeps a row and its cell buffer
// within a bound, so that a file with no line breaks stops in seconds.
class CsvReader {
 public:
  // A reader of cells separated by the delimiter, whose first row begins on
  // firstLine and no row of which may be longer than maxRowBytes.
  CsvReader(char delimiter, std::size_t firstLine, std::size_t maxRowBytes, CsvRowSink& sink);
  ~CsvReader();
  CsvReader(const CsvReader&) = delete;
  CsvReader& operator=(const CsvReader&) = delete;

  // Reads the next bytes of the table; returns false once the reading has
  // stopped, by the sink or at a fault that Error() names.
  bool Read(std::string_view bytes);

  // Reads the table's last row, which may have no line break; returns false
  // as Read does.
  bool Finish();

  // Why the table could not be read, with its line; empty when it could.
  const std::string& Error() const { return error_; }

  // The line on which the row being read begins.
  std::size_t RowLine() const { return rowLine_; }

 private:
  static void OnCell(void* bytes, std::size_t size, void* self);
  static void OnRowEnd(int terminator, void* self);
  void ReadBlock(std::string_view bytes);
  void Cell(std::string_view cell);
  void RowEnd(int terminator);
  void CountLineBreaks(std::string_view cell);
  void Fail(int error, bool atEnd);
  void Fail(std::string message);

  csv_parser parser_{};
  CsvRowSink& sink_;
  std::size_t maxRowBytes_;
  std::size_t line_;     // where the next cell begins
  std::size_t rowLine_;  // where the row being read begins
  std::size_t rowCells_ = 0;
  std::size_t rowBytes_ = 0;  // its cells and the delimiters after them
  bool endedInCr_ = false;
  bool stopped_ = false;
  std::string error_;
};

}  // namespace mivaro::cli
