// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <csv.h>

#include <cstddef>
#include <new>
#include <string>
#include <string_view>

#include "cli/input.h"

namespace mivaro::cli {

// The message for a row longer than the bound, naming the line it begins on.
std::string RowTooLongMessage(std::size_t line, std::size_t maxRowBytes);

// Reads a CSV table through libcsv, strictly as RFC 4180 writes it, so that
// every cell is read exactly as written and a quote out of place is reported
// rather than guessed at. Rows end at LF, CR LF or CR; blank lines are rows of
// no cells; no character counts as padding. It counts lines as an editor does
// (a quoted cell's line breaks included) and keeps a row and its cell buffer
// within a bound, so that a file with no line breaks stops in seconds.
//
// It hands what it reads to a sink, a type with
//   bool Cell(std::string_view cell, std::size_t index);  // index from 0
//   bool RowEnd(std::size_t cells);                       // 0: a blank line
// either returning false to stop the reading. The sink is a template
// parameter so that its calls, one for every cell, are inlined.
class CsvReader {
 public:
  // A reader of cells separated by the delimiter, whose first row begins on
  // firstLine and no row of which may be longer than maxRowBytes.
  CsvReader(char delimiter, std::size_t firstLine, std::size_t maxRowBytes);
  ~CsvReader();
  CsvReader(const CsvReader&) = delete;
  CsvReader& operator=(const CsvReader&) = delete;

  // Reads the next bytes of the table; returns false once the reading has
  // stopped, by the sink or at a fault that Error() names.
  template <typename Sink>
  bool Read(std::string_view bytes, Sink& sink);

  // Reads the table's last row, which may have no line break; returns false
  // as Read does.
  template <typename Sink>
  bool Finish(Sink& sink);

  // Why the table could not be read, with its line; empty when it could.
  const std::string& Error() const { return error_; }

  // The line on which the row being read begins.
  std::size_t RowLine() const { return rowLine_; }

 private:
  template <typename Sink>
  struct Reading {
    CsvReader& reader;
    Sink& sink;
    static void OnCell(void* bytes, std::size_t size, void* self);
    static void OnRowEnd(int terminator, void* self);
  };

  void PrepareBlock();
  void EndBlock(bool parsed);
  void EndTable(int result);
  bool TakeCell(std::string_view cell);
  bool TakeRowEnd(int terminator);
  void RowTaken(bool sinkGoesOn);
  void CountLineBreaks(std::string_view cell);
  void Fail(int error, bool atEnd);
  void Fail(std::string message);
  void OutOfMemory();

  csv_parser parser_{};
  std::size_t maxRowBytes_;
  std::size_t line_;     // where the next cell begins
  std::size_t rowLine_;  // where the row being read begins
  std::size_t rowCells_ = 0;
  std::size_t rowBytes_ = 0;  // its cells and the delimiters after them
  bool endedInCr_ = false;
  bool stopped_ = false;
  std::string error_;
};

template <typename Sink>
void CsvReader::Reading<Sink>::OnCell(void* bytes, std::size_t size, void* self) {
  Reading& reading = *static_cast<Reading*>(self);
  const std::string_view cell(static_cast<const char*>(bytes), size);
  const std::size_t index = reading.reader.rowCells_;
  if (reading.reader.TakeCell(cell)) reading.reader.stopped_ = !reading.sink.Cell(cell, index);
}

template <typename Sink>
void CsvReader::Reading<Sink>::OnRowEnd(int terminator, void* self) {
  Reading& reading = *static_cast<Reading*>(self);
  if (reading.reader.TakeRowEnd(terminator)) {
    reading.reader.RowTaken(reading.sink.RowEnd(reading.reader.rowCells_));
  }
}

// A read block at a time, even when more arrives at once (a header row
// gathered whole), so that the cell buffer's growth keeps pace with a cell
// of megabytes.
template <typename Sink>
bool CsvReader::Read(std::string_view bytes, Sink& sink) {
  Reading<Sink> reading{*this, sink};
  while (!stopped_ && !bytes.empty()) {
    const std::string_view block = bytes.substr(0, kReadBlock);
    bytes.remove_prefix(block.size());
    PrepareBlock();
    try {
      EndBlock(csv_parse(&parser_, block.data(), block.size(), &Reading<Sink>::OnCell,
                         &Reading<Sink>::OnRowEnd, &reading) == block.size());
    } catch (const std::bad_alloc&) {
      OutOfMemory();
    }
  }
  return !stopped_;
}

template <typename Sink>
bool CsvReader::Finish(Sink& sink) {
  if (stopped_) return false;
  Reading<Sink> reading{*this, sink};
  try {
    EndTable(csv_fini(&parser_, &Reading<Sink>::OnCell, &Reading<Sink>::OnRowEnd, &reading));
  } catch (const std::bad_alloc&) {
    OutOfMemory();
  }
  return !stopped_;
}

// Counts a cell toward its row; false when the reading has stopped.
inline bool CsvReader::TakeCell(std::string_view cell) {
  if (stopped_) return false;
  rowBytes_ += cell.size() + 1;
  if (rowBytes_ > maxRowBytes_) {
    Fail(RowTooLongMessage(rowLine_, maxRowBytes_));
    return false;
  }
  bool breaks = false;
  for (const char c : cell) breaks |= (c == '\n') | (c == '\r');  // no branch: most cells are short
  if (breaks) CountLineBreaks(cell);
  ++rowCells_;
  return true;
}

// Counts a row's end; false when the reading has stopped or the end is the
// LF of a CR LF, which libcsv reports on its own, as if it ended a blank row.
inline bool CsvReader::TakeRowEnd(int terminator) {
  if (stopped_) return false;
  const bool secondHalfOfCrLf = terminator == '\n' && endedInCr_ && rowCells_ == 0;
  endedInCr_ = terminator == '\r';
  if (secondHalfOfCrLf) return false;
  if (terminator == '\r' || terminator == '\n') ++line_;
  return true;
}

inline void CsvReader::RowTaken(bool sinkGoesOn) {
  stopped_ = !sinkGoesOn;
  rowCells_ = 0;
  rowBytes_ = 0;
  rowLine_ = line_;
}

}  // namespace mivaro::cli
