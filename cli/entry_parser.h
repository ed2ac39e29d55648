#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mivaro::cli {

// Why an entry is not a number that can be checked.
enum class Malformed {
  None,
  TooLong,        // more characters or digits than any way of writing nine digits
  NotNineDigits,  // fewer than nine digits, the empty entry included
  NotDigitsOnly,  // a character other than 0-9, space or hyphen
  BadGrouping,    // nine digits, but spaces or hyphens not as 123 456 782 / 123-456-782
};

// Returns the reason as the tool prints it ("too long", ...); "" for None.
std::string_view MalformedText(Malformed reason);

// An entry as read: what to echo back and what it holds.
struct ParsedEntry {
  std::string input;   // the entry as read, cut to its first 100 characters
  std::string digits;  // the nine digits when well formed, else empty
  Malformed error = Malformed::None;
};

// Takes one entry a piece at a time, in bounded memory whatever its length,
// and parses it when it ends. Leading and trailing white space is ignored;
// the nine digits may be bare or in three groups of three separated by single
// spaces or by single hyphens. One CR right before the end (of a CR LF line
// ending) is not part of the entry.
class EntryAccumulator {
 public:
  // How much of the raw entry is kept to echo back.
  static constexpr std::size_t kInputCharacters = 100;

  void Feed(std::string_view piece);

  // Returns the parsed entry and makes the accumulator ready for the next one.
  ParsedEntry Finish();

 private:
  // No well-formed entry is longer than "123-456-782"; past this much content
  // only the fact that there was more is kept.
  static constexpr std::size_t kContentLimit = 32;

  std::string input_;
  std::size_t inputCharacters_ = 0;
  bool inputEndsInCr_ = false;

  std::string content_;  // from the first non-blank byte, trailing blanks pending
  std::string pendingBlanks_;
  bool started_ = false;
  bool overflowed_ = false;
};

// Parses one whole entry (for example a command-line argument).
ParsedEntry ParseEntry(std::string_view entry);

}  // namespace mivaro::cli
