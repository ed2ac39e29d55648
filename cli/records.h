// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cli/entry_parser.h"
#include "cli/text_buffer.h"
#include "core/evaluation.h"
#include "core/regions.h"

namespace mivaro::cli {

// Everything the tool reports about one entry. The texts are views into the
// ParsedEntry the record was made from.
struct Record {
  std::string_view input;
  std::string_view number;  // empty when malformed
  EvaluationResult result;
  std::optional<RegionGroup> group;  // none when malformed
  Malformed error = Malformed::None;
  std::size_t digitCount = 0;  // ASCII digits in the whole entry

  bool IsMalformed() const { return error != Malformed::None; }
};

// Where a CSV cell comes from. The tool's own cells never start a formula;
// the user's cells are passed through as they are.
enum class CellOrigin { Tool, User };

// Whether a CSV field is quoted only where RFC 4180 needs it, or always.
enum class Quoting { AsNeeded, Always };

// Appends one CSV field: quoted when it holds the delimiter, a quote or a line
// break (quotes inside doubled), and, when it is the tool's own, made inert
// with a leading apostrophe inside quotes when it starts like a spreadsheet
// formula (= + - @, tab, CR).
void AppendCsvField(TextBuffer& out, std::string_view field, char delimiter,
                    CellOrigin origin = CellOrigin::Tool, Quoting quoting = Quoting::AsNeeded);

// How many of a SIN's digits --mask hides: all but its last three.
constexpr std::size_t HiddenDigits(std::size_t digitCount) {
  return digitCount > 3 ? digitCount - 3 : 0;
}

// Appends text with its first hidden ASCII digits written as '*'; everything
// else, separators included, as it is.
void AppendMasked(TextBuffer& out, std::string_view text, std::size_t hidden);

// Returns the captions of the boxes a group ticks, in box order, separated by
// single spaces ("NB PEI NF NS"); empty for a series.
std::string_view RegionWords(RegionGroup group);

// Checks a parsed entry with the number rules and returns its record, which
// refers to the entry and must not outlive it.
Record CheckEntry(const ParsedEntry& entry);
Record CheckEntry(ParsedEntry&&) = delete;

// How many records of each kind went out.
struct Tally {
  std::uint64_t valid = 0;
  std::uint64_t invalid = 0;
  std::uint64_t malformed = 0;

  void Count(const Record& record);
  bool AllValid() const { return invalid == 0 && malformed == 0; }
};

enum class Format { Text, Json, Csv };

// Text on its way to a stream, gathered into large writes. Writes are
// checked: Ok() turns false for good once the stream refuses one.
class BufferedOutput {
 public:
  explicit BufferedOutput(std::FILE* stream) : stream_(stream) {}
  virtual ~BufferedOutput() = default;
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;

  TextBuffer& Buffer() { return buffer_; }

  // Writes the buffer out once it has grown past a block.
  void MaybeFlush();

  // Sends everything buffered to the stream; returns Ok().
  bool Flush();
  bool Ok() const { return ok_; }
  // The errno of the write that failed first; 0 while Ok().
  int Error() const { return error_; }

 private:
  void WriteBuffer();
  void Fail();

  std::FILE* stream_;
  TextBuffer buffer_;
  bool ok_ = true;
  int error_ = 0;
};

// Writes records in one format.
class RecordWriter : public BufferedOutput {
 public:
  // Returns a writer of the format that writes to stream (and a CSV summary
  // to summaryStream). With mask, no record shows more of a SIN than its last
  // three digits, and the check string, which gives the digits away, is left
  // out.
  static std::unique_ptr<RecordWriter> Create(Format format, std::FILE* stream,
                                              std::FILE* summaryStream = stderr, bool mask = false);

  virtual void Header() = 0;
  virtual void Write(const Record& record) = 0;
  // Writes the counts as the last line (text) or object (JSON); CSV has no
  // row shape for them, so its summary goes to standard error.
  virtual void Summary(const Tally& tally) = 0;

 protected:
  RecordWriter(std::FILE* stream, bool mask) : BufferedOutput(stream), mask_(mask) {}

  // The record's entry and number as this writer shows them: masked or not.
  std::string_view ShownInput(const Record& record);
  std::string_view ShownNumber(const Record& record);
  bool Masks() const { return mask_; }

 private:
  bool mask_;
  TextBuffer maskedInput_;
  TextBuffer maskedNumber_;
};

}  // namespace mivaro::cli
