// SPDX-License-Identifier: Apache-2.0
#pragma once

// Text folded for comparison, as names and keywords are compared: lower case,
// and without the accents of French and its neighbours. Header-only, shared
// by the library (column names, keywords) and the programs (--column).

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "text/utf8.h"

namespace mivaro::text {

// Appends a code point as UTF-8.
inline void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
  } else {
    if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    }
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (c & 0x3F));
}

// Returns a character in lower case: ASCII and Latin-1 capitals.
constexpr char32_t LowerCase(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + ('a' - 'A');
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // Latin-1 capitals
  return c;
}

// Returns a lower-case letter without its accent, and the degree and ordinal
// signs written for "No" (N°, Nº) as o; any other character as it is.
constexpr char32_t WithoutAccent(char32_t c) {
  constexpr std::u32string_view kAccented = U"àáâãäåçèéêëìíîïñòóôõöùúûüýÿ°º";
  constexpr std::string_view kPlain = "aaaaaaceeeeiiiinooooouuuuyyoo";
  if (c < 0xB0) return c;
  const std::size_t index = kAccented.find(c);
  return index == std::u32string_view::npos ? c : static_cast<char32_t>(kPlain[index]);
}

// CaseOnly: lower case. Spelling: also without accents and without the
// characters that spellings of a name differ in (blanks, _ - ' . # and
// typographic apostrophes).
enum class Fold { CaseOnly, Spelling };

// Returns text folded. Folding stops once the result is longer than most
// bytes: such a text cannot equal the name it is compared with, however long
// it goes on.
inline std::string Folded(std::string_view text, Fold fold,
                          std::size_t most = std::numeric_limits<std::size_t>::max()) {
  std::string folded;
  for (std::size_t at = 0; at < text.size() && folded.size() <= most;) {
    const Utf8Step step = DecodeUtf8(text, at);
    char32_t c = LowerCase(step.valid ? step.codePoint : 0xFFFD);
    at += step.length;
    if (fold == Fold::Spelling) {
      if (IsBlank(c) ||
          std::u32string_view(U"_-'.#\u2019\u2018").find(c) != std::u32string_view::npos) {
        continue;
      }
      c = WithoutAccent(c);
    }
    AppendUtf8(folded, c);
  }
  return folded;
}

}  // namespace mivaro::text
