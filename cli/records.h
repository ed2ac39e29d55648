#pragma once

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

  bool IsMalformed() const { return error != Malformed::None; }
};

// Appends one CSV field: quoted when it holds the delimiter, a quote or a line
// break (quotes inside doubled), and made inert with a leading apostrophe,
// inside quotes, when it starts like a spreadsheet formula (= + - @, tab, CR).
void AppendCsvField(TextBuffer& out, std::string_view field, char delimiter);

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
  // to summaryStream).
  static std::unique_ptr<RecordWriter> Create(Format format, std::FILE* stream,
                                              std::FILE* summaryStream = stderr);

  virtual void Header() = 0;
  virtual void Write(const Record& record) = 0;
  // Writes the counts as the last line (text) or object (JSON); CSV has no
  // row shape for them, so its summary goes to standard error.
  virtual void Summary(const Tally& tally) = 0;

 protected:
  using BufferedOutput::BufferedOutput;
};

}  // namespace mivaro::cli
