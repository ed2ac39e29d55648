// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace mivaro::cli {

// Why an entry is not a number that can be checked.
enum class Malformed {
  None,
  TooLong,          // more characters or digits than any way of writing nine digits
  NotNineDigits,    // fewer than nine digits
  NotDigitsOnly,    // a character other than 0-9, a separator or a blank
  BadGrouping,      // nine digits, but separators not as 123 456 782 / 123-456-782
  Empty,            // nothing but blanks
  Reformatted,      // a number a spreadsheet wrote with decimals or an exponent
  LeadingZeroLost,  // eight digits that a leading 0 would make a valid SIN
  Placeholder,      // 000 000 000, which payroll files carry for a missing SIN
  NotUtf8,          // bytes that are not UTF-8
};

// Returns the reason as the tool prints it ("too long", ...); "" for None.
std::string_view MalformedText(Malformed reason);

// Every reason, for the manual page: "too long, not nine digits, ...".
std::string ReasonList();

// Returns whether a code point is a blank around an entry: Unicode white space
// (the White_Space property, no-break spaces included), and U+200B ZERO WIDTH
// SPACE and U+FEFF BYTE ORDER MARK, which spreadsheets and editors leave
// around cells.
bool IsBlank(char32_t codePoint);

// Returns text without the blanks around it.
std::string_view TrimBlanks(std::string_view text);

// An entry as read: what to echo back and what it holds.
struct ParsedEntry {
  std::string input;   // the entry as read, cut to its first 100 characters
  std::string digits;  // the nine digits when well formed, else empty
  Malformed error = Malformed::None;
  std::size_t digitCount = 0;  // ASCII digits in the whole entry, beyond the cut too
};

// Reads an entry one complete run of text at a time and keeps only what the
// verdict and the echo need: the first 100 characters, and the content between
// the blanks up to a bound. Every byte counts: a byte of ill-formed UTF-8 is
// one character, as in DecodeUtf8.
class EntryScanner {
 public:
  // How much of the raw entry is kept to echo back.
  static constexpr std::size_t kInputCharacters = 100;

  // Takes text whose last character is complete.
  void Scan(std::string_view text);

  std::size_t EchoBytes() const { return echoBytes_; }
  std::size_t EchoCharacters() const { return echoCharacters_; }
  std::size_t DigitCount() const { return digits_; }
  // Forgets the last character of the echo, which was one byte.
  void DropLastEchoByte();

  // Returns the verdict on the content and, when well formed, its digits.
  Malformed Verdict(std::string& digits) const;

  // No well-formed entry is longer than "123-456-782"; past this many
  // characters of content only the fact that there was more is kept.
  static constexpr std::size_t kContentCharacters = 32;

 private:
  void ScanCharacter(std::string_view bytes, bool blank);

  std::array<char, kContentCharacters * 4> content_{};
  std::size_t contentBytes_ = 0;   // up to the last character that is not blank
  std::size_t bufferedBytes_ = 0;  // with the blanks after it
  std::size_t contentCharacters_ = 0;
  std::size_t pendingBlanks_ = 0;  // blanks since the last character that is not blank
  bool started_ = false;
  bool overflowed_ = false;
  bool invalid_ = false;  // a byte of ill-formed UTF-8 anywhere in the entry
  std::size_t echoBytes_ = 0;
  std::size_t echoCharacters_ = 0;
  std::size_t digits_ = 0;
};

// Takes one entry a piece at a time, in bounded memory whatever its length,
// and parses it when it ends. Blanks around the entry are ignored; the nine
// digits may be bare or in three groups of three separated by single spaces
// or by single hyphens. One CR right before the end (of a CR LF line ending)
// is not part of the entry.
class EntryAccumulator {
 public:
  static constexpr std::size_t kInputCharacters = EntryScanner::kInputCharacters;

  void Feed(std::string_view piece);

  // Returns the parsed entry and makes the accumulator ready for the next one.
  ParsedEntry Finish();

 private:
  void ScanComplete(std::string_view text);

  EntryScanner scanner_;
  std::string input_;
  std::string carry_;  // the start of a character cut off at the end of a piece
  bool endsInCr_ = false;
};

// Parses one whole entry (a command-line argument, or a line read whole).
ParsedEntry ParseEntry(std::string_view entry);

}  // namespace mivaro::cli
