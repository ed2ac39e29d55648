// SPDX-License-Identifier: Apache-2.0
#pragma once

// Text made safe to show: on a terminal, in a CSV field, in JSON.

#include <array>
#include <cstddef>
#include <string_view>

#include "cli/text_buffer.h"

namespace mivaro::cli {

// Returns whether text is printable ASCII only, which needs no decoding,
// escaping or replacing: the common case.
bool IsPrintableAscii(std::string_view text);

// Appends text as the body of a JSON string: quotes, backslashes and control
// characters escaped, ill-formed UTF-8 replaced by U+FFFD, so the output is
// always valid JSON in valid UTF-8.
void AppendJsonEscaped(TextBuffer& out, std::string_view text);

// ColumnWidth from U+0300 on, out of line: the tables of wide and
// zero-width characters.
std::size_t ColumnWidthAbove0300(char32_t codePoint);

// Returns how many terminal columns a printable character takes: 2 for East
// Asian wide and fullwidth characters and emoji, 0 for combining marks and
// other zero-width characters, 1 for the rest.
inline std::size_t ColumnWidth(char32_t codePoint) {
  if (codePoint < 0x300) return 1;
  // General punctuation, spaces among them, comes in cells most often.
  if (codePoint >= 0x2000 && codePoint < 0x20D0) {
    return codePoint >= 0x200B && codePoint <= 0x200F ? 0 : 1;
  }
  return ColumnWidthAbove0300(codePoint);
}

// Returns whether a character would not show as itself in a terminal or
// spreadsheet: controls, and the invisible format characters that hide or
// reorder the text around them (zero-width spaces and joiners, bidirectional
// controls, the byte-order mark, line and paragraph separators).
inline bool IsUnprintable(char32_t codePoint) {
  if (codePoint < 0xA0) return codePoint < 0x20 || codePoint >= 0x7F;
  if (codePoint < 0x200B) return false;
  return codePoint <= 0x200F || (codePoint >= 0x2028 && codePoint <= 0x202E) ||
         (codePoint >= 0x2060 && codePoint <= 0x206F) || codePoint == 0xFEFF;
}

// How many columns a character shows in, where it would show as itself; 0
// where it would not (a control or invisible format character, shown as
// U+FFFD), which IsUnprintable tells apart from a zero-width mark.
struct Shown {
  bool printable;
  std::size_t width;
};

inline Shown ShownAs(char32_t codePoint) {
  // The spaces and punctuation of cells first: Latin-1, and U+2000 on.
  if (codePoint >= 0xA0 && codePoint < 0x300) return {true, 1};
  if (IsUnprintable(codePoint)) return {false, 0};
  return {true, ColumnWidth(codePoint)};
}

// Whether each ASCII byte is printable, by the byte.
inline constexpr std::array<bool, 256> kPrintableAscii = [] {
  std::array<bool, 256> printable{};
  for (std::size_t byte = 0x20; byte < 0x7F; ++byte) printable[byte] = true;
  return printable;
}();

// U+FFFD REPLACEMENT CHARACTER, which stands for what cannot be shown.
inline constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Appends text for a terminal or a CSV field: control characters, invisible
// format characters and ill-formed UTF-8 replaced by U+FFFD, everything else
// as it is.
void AppendPrintable(TextBuffer& out, std::string_view text);

// Appends text for a message on a terminal: control characters and invisible
// format characters shown as escapes (\e, \t, \x07, \u202e), ill-formed UTF-8
// as U+FFFD, so that nothing a user typed or a file held can move the cursor,
// recolour the terminal or reorder the line.
void AppendEscaped(TextBuffer& out, std::string_view text);

}  // namespace mivaro::cli
