// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mivaro::cli {

// The end of a text read so far, from the first byte a match may still touch:
// where the scanner's matches are told by line and column, and redacted
// before they are written out.
class HeldText {
 public:
  // Where a byte lies: its line and its column in characters, from 1.
  struct Position {
    std::uint64_t line = 1;
    std::uint64_t column = 1;
  };

  // Holds the next piece of the text.
  void Append(std::string_view piece) { held_.append(piece); }

  // Returns the held bytes from an offset in the text on, which the caller
  // may change in place (a redaction keeps their length).
  char* At(std::uint64_t offset) { return held_.data() + (offset - start_); }
  std::string_view View(std::uint64_t offset, std::size_t length) const {
    return std::string_view(held_).substr(offset - start_, length);
  }

  // Returns where a held byte lies. Offsets asked for never go back.
  Position PositionOf(std::uint64_t offset);

  // Returns the held bytes before an offset, for writing out.
  std::string_view Before(std::uint64_t upTo) const {
    return std::string_view(held_).substr(0, upTo > start_ ? upTo - start_ : 0);
  }
  // Lets go of the bytes before an offset.
  void Forget(std::uint64_t upTo);
  // Where the text read so far ends.
  std::uint64_t End() const { return start_ + held_.size(); }

 private:
  void Advance(std::uint64_t to);

  std::string held_;
  std::uint64_t start_ = 0;    // where held_ starts in the text
  std::uint64_t counted_ = 0;  // where position_ is, at start_ or after
  Position position_;
};

}  // namespace mivaro::cli
