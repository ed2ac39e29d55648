// SPDX-License-Identifier: Apache-2.0
#pragma once

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

// Returns how many terminal columns a printable character takes: 2 for East
// Asian wide and fullwidth characters and emoji, 0 for combining marks and
// other zero-width characters, 1 for the rest.
std::size_t ColumnWidth(char32_t codePoint);

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
