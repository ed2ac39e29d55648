// SPDX-License-Identifier: Apache-2.0
#pragma once

// The matcher: the rules of a SIN in free text, alone, over a window of the
// text the searcher holds. What a number is (nine digits, bare or grouped),
// that it stands alone and passes the check, the keywords, a table's SIN
// column, and what confidence that gives. The matcher keeps no text; it
// reads the window it is given and says when it must wait for more.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mivaro/scan.h"
#include "mivaro/sin.h"

namespace mivaro::detail {

// One character as the rules read it, at a place in the window; code point
// 0 with length 0 where there is none (the start or the end).
struct Character {
  char32_t code = 0;
  std::size_t at = 0;
  std::size_t length = 0;

  bool Exists() const { return length != 0; }
};

// The text the searcher holds: its bytes from base on, as far as they have
// come; ending when nothing comes after them.
class Window {
 public:
  Window(std::string_view bytes, std::uint64_t base, bool ending)
      : bytes_(bytes), base_(base), ending_(ending) {}

  std::string_view Bytes() const { return bytes_; }
  std::uint64_t Base() const { return base_; }
  bool Ending() const { return ending_; }
  std::size_t Size() const { return bytes_.size(); }
  std::uint64_t End() const { return base_ + bytes_.size(); }
  std::size_t Index(std::uint64_t offset) const { return static_cast<std::size_t>(offset - base_); }

  // The character at a place; none at the end, and none where a character
  // is cut by the end of what has come so far.
  Character At(std::size_t at) const;
  // The next character at or after a place that is not seen through.
  Character Next(std::size_t at) const;
  // The character before a place that is not seen through, or none.
  Character Previous(std::size_t at) const;
  // Whether Next found the end of the text so far, and more is to come.
  bool Waits(const Character& c) const { return !c.Exists() && !ending_; }
  // Counts characters in [from, to), stopping past most.
  std::size_t Characters(std::size_t from, std::size_t to, std::size_t most) const;
  // The place kKeywordReach characters before a place, or the window's start.
  std::size_t ReachBefore(std::size_t at) const;

 private:
  std::string_view bytes_;
  std::uint64_t base_;
  bool ending_;
};

// What reading at a place gives.
enum class Reading {
  Found,    // what was looked for starts there
  NotOne,   // it does not
  Waiting,  // the text must go on before it can tell
};

// A number the rules keep: nine digits that stand alone and pass the check.
struct Candidate {
  std::size_t first = 0;  // its first digit, in the window
  std::size_t end = 0;    // one past its last digit
  Number digits{};
  bool grouped = false;
};

// Reads the number whose first digit is at first, by the rules themselves:
// the definition, which reads through the characters that are seen through.
Reading ReadNumber(const Window& window, std::size_t first, Candidate& found);

// Reads the number at first the fast way, from its bytes alone, where they
// and the few around it are ASCII and present: gives what ReadNumber gives,
// or returns false when it cannot tell. A caller that has seen the bytes are
// ASCII says so, and they are not looked at again.
bool ReadAsciiNumber(const Window& window, std::size_t first, Candidate& found, Reading& reading,
                     bool knownAscii = false);

// A keyword found, by where it starts and ends in the window.
struct KeywordAt {
  std::size_t start = 0;
  std::size_t end = 0;
  std::string_view name;
};

// Reads a keyword that starts at a place, not joined to a letter or digit
// on either side; the longest of them.
Reading ReadKeyword(const Window& window, std::size_t at, KeywordAt& found);

// Follows a table's cells, when the text's first line is a header that
// names a SIN column, to tell whether a number lies in that column.
class TableColumns {
 public:
  // Reads the header from the first line once it is whole (or the window
  // is ending, or it is longer than any header); returns false while it
  // waits. A window that does not start the text has no header.
  bool ReadHeader(const Window& window);
  bool HeaderRead() const { return state_ != State::Unknown; }
  // Returns the SIN column's name when the byte at offset lies in it, or "".
  // Offsets asked for never go back.
  std::string_view ColumnAt(const Window& window, std::uint64_t offset);
  // Follows the cells up to an offset, before the window forgets them.
  void FollowTo(const Window& window, std::uint64_t offset);

 private:
  enum class State { Unknown, SinColumn, None };
  State state_ = State::Unknown;
  SinColumn column_;
  std::uint64_t followedTo_ = 0;  // how far the cells have been followed
  std::size_t cell_ = 0;          // the cell there, counted from 0
  bool quoted_ = false;
};

// The confidence of a number, and the keyword or column name behind it
// (none for an empty because): high with one, else medium when grouped and
// low when bare; low for every first digit of 8, which business and dummy
// numbers share.
Confidence Decide(const Number& digits, bool grouped, std::string_view because,
                  std::string_view& keyword);

}  // namespace mivaro::detail
