// SPDX-License-Identifier: Apache-2.0
#pragma once

// JSON strings as Mivaro writes them, header-only, so that the library's
// records and the programs' own JSON share one definition.

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "text/utf8.h"

namespace mivaro::text {

// The most bytes one byte of text becomes in a JSON string: \u00XX.
inline constexpr std::size_t kJsonEscapedBytesPerByte = 6;

// Appends text as the body of a JSON string to out (anything that takes +=
// of a string_view and a char): quotes, backslashes and control characters
// escaped, ill-formed UTF-8 replaced by U+FFFD, so that the output is
// always valid JSON in valid UTF-8.
template <typename Out>
void AppendJsonEscaped(Out& out, std::string_view text) {
  constexpr std::string_view kHex = "0123456789abcdef";
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
  });
  if (plain) {
    out += text;
    return;
  }
  std::size_t at = 0;
  while (at < text.size()) {
    const Utf8Step step = DecodeUtf8(text, at);
    if (!step.valid) {
      out += std::string_view("\xEF\xBF\xBD");  // U+FFFD REPLACEMENT CHARACTER
    } else if (step.codePoint == '"' || step.codePoint == '\\') {
      out += '\\';
      out += static_cast<char>(step.codePoint);
    } else if (step.codePoint < 0x20 || step.codePoint == 0x7F) {
      switch (step.codePoint) {
        case '\n':
          out += std::string_view("\\n");
          break;
        case '\r':
          out += std::string_view("\\r");
          break;
        case '\t':
          out += std::string_view("\\t");
          break;
        case '\b':
          out += std::string_view("\\b");
          break;
        case '\f':
          out += std::string_view("\\f");
          break;
        default:
          out += std::string_view("\\u00");
          out += kHex[(step.codePoint >> 4U) & 0xFU];
          out += kHex[step.codePoint & 0xFU];
      }
    } else {
      out += text.substr(at, step.length);
    }
    at += step.length;
  }
}

// Appends text as a JSON string, quotes and all.
template <typename Out>
void AppendJsonString(Out& out, std::string_view text) {
  out += '"';
  AppendJsonEscaped(out, text);
  out += '"';
}

}  // namespace mivaro::text
