// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/annotator.h"

namespace mivaro::cli {

// Finds where a CSV table begins and what separates its cells, before a row
// of it is read: an Excel "sep=X" first line and the --skip-rows lines above
// the table are copied through as they are; the header row (the first that
// is not blank) chooses the delimiter with which it names the SIN column,
// unless the user or the sep= line gives one.
class TableProbe {
 public:
  enum class Outcome {
    More,     // the bytes so far do not tell yet
    Table,    // the table begins
    Refused,  // the header does not name one SIN column: Problem() says why
    Broken,   // a line too long: Problem() names it
  };

  explicit TableProbe(const AnnotateOptions& options) : options_(options) {}

  // Takes the next bytes of input and looks as far as they allow; at the
  // end of the input, as far as there is.
  Outcome Look(std::string_view bytes, bool atEnd);

  // Once the table begins: the lines above it, to copy through; its own
  // bytes so far (the blank lines before its header included), the line they
  // begin on, and its delimiter.
  std::string_view Preamble() const { return std::string_view(pending_).substr(0, tableAt_); }
  std::string_view Table() const { return std::string_view(pending_).substr(tableAt_); }
  std::size_t TableLine() const { return line_; }
  char Delimiter() const { return delimiter_; }

  const std::string& Problem() const { return problem_; }

 private:
  void TakePreamble(bool atEnd);
  void FindHeader(bool atEnd);
  std::optional<char> ChooseDelimiter(std::string_view header);
  void StartTable(char delimiter);

  const AnnotateOptions& options_;
  Outcome outcome_ = Outcome::More;
  bool inPreamble_ = true;
  std::string pending_;      // the input so far
  std::size_t tableAt_ = 0;  // where the lines above the table end
  std::size_t line_ = 1;     // the line at tableAt_
  bool sawFirstLine_ = false;
  std::size_t skipped_ = 0;
  std::optional<char> sepDelimiter_;
  char delimiter_ = ',';
  std::string problem_;
};

// A row for a message: its cells as CSV, masked as annotate masks a SIN when
// mask is set, and cut short.
std::string ShownRow(std::span<const std::string_view> cells, char delimiter, bool mask);

}  // namespace mivaro::cli
