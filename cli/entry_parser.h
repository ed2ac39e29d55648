// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mivaro/sin.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace mivaro::cli {

// Returns why a result is malformed in mivaro-cli's words: the library's, and
// for bytes that are not UTF-8 the option that reads other encodings; "" for a
// well-formed number.
std::string_view ErrorWords(Error error);

// Every reason, for the manual page: "too long, not nine digits, ...".
std::string ReasonList();

// An entry as read: what to echo back and what the library says of it.
struct ParsedEntry {
  std::string input;           // the entry as read, cut to its first 100 characters
  std::size_t digitCount = 0;  // ASCII digits in the whole entry, beyond the cut too
  Result result;
};

// How much of the raw entry is kept to echo back, in characters; each byte of
// ill-formed UTF-8 counts as one.
inline constexpr std::size_t kInputCharacters = 100;

// Takes one entry a piece at a time, in bounded memory whatever its length,
// and parses it when it ends. One CR right before the end (of a CR LF line
// ending) is not part of the echo.
class EntryAccumulator {
 public:
  void Feed(std::string_view piece);

  // Returns the parsed entry and makes the accumulator ready for the next one.
  ParsedEntry Finish();

 private:
  void EchoComplete(std::string_view text);

  EntryReader reader_;
  std::string input_;
  std::size_t echoCharacters_ = 0;  // one past the cut, so the echo knows it was cut
  std::size_t digitCount_ = 0;
  std::string carry_;  // the start of a character cut off at the end of a piece
  bool endsInCr_ = false;
};

// Parses one whole entry (a command-line argument, or a line read whole).
ParsedEntry ParseEntry(std::string_view entry);
// The same into parsed, whose echo keeps its room from entry to entry.
void ParseEntry(std::string_view entry, ParsedEntry& parsed);

}  // namespace mivaro::cli
