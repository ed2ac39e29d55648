// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mivaro/sin.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "cli/entry_parser.h"
#include "cli/output.h"
#include "cli/text_buffer.h"

namespace mivaro::cli {

// Everything the tool reports about one entry: the library's result and the
// entry as echoed, a view into the ParsedEntry the record was made from.
struct Record {
  std::string_view input;
  Result result;
  std::size_t digitCount = 0;  // ASCII digits in the whole entry

  bool IsMalformed() const { return !result.WellFormed(); }
};

// Returns the record of a parsed entry, which refers to the entry and must
// not outlive it.
Record RecordOf(const ParsedEntry& entry);
Record RecordOf(ParsedEntry&&) = delete;

// Appends text with all but the last three of a whole entry's digits masked:
// digitCount counts the digits of the whole entry text begins.
void AppendMasked(TextBuffer& out, std::string_view text, std::size_t digitCount);

// How many records of each kind went out.
struct Tally {
  std::uint64_t valid = 0;
  std::uint64_t invalid = 0;
  std::uint64_t malformed = 0;

  void Count(const Record& record);
  bool AllValid() const { return invalid == 0 && malformed == 0; }
};

// The counts in the words of every summary line: "summary: 1 valid, ...".
std::string SummaryLine(const Tally& tally);

enum class RecordFormat { Text, Json, Csv };

// Writes records in one format.
class RecordWriter : public BufferedOutput {
 public:
  // Returns a writer of the format that writes to stream (and a CSV summary
  // to summaryStream). With mask, no record shows more of a SIN than its last
  // three digits, and the check string, which gives the digits away, is left
  // out.
  static std::unique_ptr<RecordWriter> Create(RecordFormat format, std::FILE* stream,
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
